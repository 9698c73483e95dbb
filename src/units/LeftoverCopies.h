#pragma once
// Earlier programs made a private folder per run (TMPDIR/imgdl-XXXXXX) for patched
// copies of integrated images, 12 MB a unit; a run that was killed left its folder behind.
// Units are now sent from one image in memory, so no new folder is made; the ones left
// are removed once no process has any of their files open.
#include <filesystem>

namespace imgdl::units {

// Removes this user's leftover folders under `temporary` (default: $TMPDIR or /tmp);
// returns how many were removed.
std::size_t RemoveLeftoverCopies(const std::filesystem::path& temporary = {});

}  // namespace imgdl::units
