#include "LedgerJson.h"

#include "ledger/MacRange.h"

namespace imgdl::cli {
namespace {

using nlohmann::json;

json OrNull(const std::string& text) {
    return text.empty() ? json(nullptr) : json(text);
}

}  // namespace

json LedgerStatusJson(const ledger::LedgerStatus& s, const std::string& shownLocation) {
    using ledger::FormatMac48;
    const json range = {{"macFirst", FormatMac48(s.macFirst)},
                        {"macLast", FormatMac48(s.macLast)},
                        {"serialFirst", s.serialFirst},
                        {"serialLast", s.serialFirst + (s.size - 1)}};
    const json next = s.exhausted
                          ? json(nullptr)
                          : json({{"mac", FormatMac48(s.nextMac)}, {"serial", s.nextSerial}});
    return {{"ledger", shownLocation},
            {"range", range},
            {"size", s.size},
            {"used", s.used},
            {"done", s.done},
            {"failed", s.failed},
            {"uncertain", s.uncertain},
            {"allocated", s.allocated},
            {"released", s.released},
            {"unnumbered", s.unnumbered},
            {"free", s.free},
            {"next", next},
            {"low", s.low}};
}

json UnitRecordJson(const ledger::UnitRecord& u) {
    return {{"id", u.id},
            {"mac", u.numbered ? json(ledger::FormatMac48(u.mac)) : json(nullptr)},
            {"serial", u.numbered ? json(u.serial) : json(nullptr)},
            {"result", std::string(ledger::UnitResultName(u.result))},
            {"target", u.target},
            {"kind", u.kind},
            {"imageSha256", OrNull(u.imageSha256)},
            {"imageVersion", OrNull(u.imageVersion)},
            {"started", u.started},
            {"ended", OrNull(u.ended)},
            {"station", OrNull(u.station)},
            {"message", OrNull(u.message)},
            {"cause", OrNull(u.cause)},
            {"port", OrNull(u.port)},
            {"found", OrNull(u.found)},
            {"labelPrints", u.labelPrints}};
}

}  // namespace imgdl::cli
