#pragma once
// The program icon of every window of the downloader.
class QIcon;

namespace imgdl {

QIcon ProgramIcon();

}  // namespace imgdl
