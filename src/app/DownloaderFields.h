#pragma once
// The main dialog's controls as plain values: the dialog moves them between its controls
// and this record (readFields/writeFields) and makes its download request from it.
#include <cstdint>
#include <string>

namespace imgdl {

enum DownloadType : std::int32_t {
    DOWNLOAD_INTEGRATED_IMAGE = 0,
    DOWNLOAD_INDIVIDUAL_DATA = 1,
    DOWNLOAD_APPLICATION_IMAGE = 2,
    DOWNLOAD_PTZ_IMAGE = 3,
};

struct DownloaderFields {
    bool autoIncreaseCheckBox = false;
    bool autoIncreaseEnabled = false;             // the integrated image asks for both
    std::string targetIpControl = "192.168.0.1";  // dotted text, at most 15 characters
    bool serialCheckBox = true;
    bool macCheckBox = true;
    std::string macText;  // at most 12 characters
    std::string imagePath;
    std::uint32_t portNumber = 5000;                         // the flows use its low 16 bits
    std::int32_t downloadType = DOWNLOAD_APPLICATION_IMAGE;  // -1 when no radio is checked
    std::uint32_t serialNumber = 0;
};

}  // namespace imgdl
