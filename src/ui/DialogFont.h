#pragma once
// The dialogs' font: Arial where it is installed, otherwise a sans face with the same
// metrics (Liberation Sans), so that texts take the room the layouts were made for.
class QFont;

namespace imgdl {

QFont DialogFont(int pointSize);

}  // namespace imgdl
