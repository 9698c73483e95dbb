#pragma once
// The line window's station: the Qt-free engine of src/station.
#include <memory>

#include "line/StationControl.h"
#include "station/Station.h"

namespace imgdl::line {

// `listener` hears every port event, on the ports' threads; it must outlive the result.
std::unique_ptr<StationControl> MakeEngineControl(station::StationConfig config,
                                                  std::shared_ptr<const units::ImageSnapshot> image,
                                                  station::PortListener& listener);

}  // namespace imgdl::line
