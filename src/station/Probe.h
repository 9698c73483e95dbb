#pragma once
// Whether a unit is on a port: a TCP connection to its address, out of the port's
// interface, that sends nothing and is closed at once.
#include <chrono>

#include "common/RecorderAddress.h"

namespace imgdl::station {

bool UnitAnswers(const RecorderAddress& address, std::chrono::milliseconds timeout);

}  // namespace imgdl::station
