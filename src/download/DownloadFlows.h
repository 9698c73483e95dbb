#pragma once
// The Download command and every download flow, over a DownloadHost.
#include <string>

#include "download/DownloadHost.h"
#include "download/MacAddress.h"

namespace imgdl {

inline constexpr const char* kIntegratedCopyName = "_ZOMADVR.tmp";

class DownloadFlows {
  public:
    explicit DownloadFlows(DownloadHost& host) : host_(host) {}
    virtual ~DownloadFlows() = default;

    // readFields, then the flow the download type and identity boxes choose.
    void OnDownload();

    virtual void DownloadApplicationImage();
    virtual void DownloadPtzImage();
    virtual void DownloadIntegratedImage();
    virtual void DownloadMacAddress();
    virtual void DownloadSerialNumber();
    virtual void DownloadMacAndSerial();

  private:
    void show(int stringId);
    // The session's target, from the address control and the port's low 16 bits.
    SessionRequest request(std::uint32_t command);
    // The compatibility session for a probed version; false when the flow must stop
    // (a probe failure or the session's failure has then been shown).
    bool checkVersion(std::int32_t version);
    // Advances the MAC text after a MAC has been written, and shows it.
    void advanceMac(MacAddress mac);

    DownloadHost& host_;
};

}  // namespace imgdl
