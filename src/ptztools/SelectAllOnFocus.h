#pragma once
// Number fields select their whole text when they take the focus (by Tab, by a click, as
// the window opens or from the program), so that what is typed next replaces the value
// instead of being added to it: "2" typed into a field showing 2 gives 2, not 22.
class QLineEdit;

namespace imgdl {

void SelectAllOnFocus(QLineEdit& field);

}  // namespace imgdl
