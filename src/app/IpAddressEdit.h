#pragma once
// An IPv4 address control: four fields of 0 to 255 in one sunken box, separated by dots.
// Typing the dotted text in full gives that address: three digits move on by themselves
// and the dot typed next is then swallowed, a dot in an empty field does nothing.
// Backspace, the arrow keys, Home and End cross the fields as in one line of text;
// pasting a dotted address fills all four.
#include <QFrame>
#include <QString>
#include <array>

class QLineEdit;

namespace imgdl {

class IpAddressEdit : public QFrame {
    Q_OBJECT
  public:
    static constexpr int kFieldCount = 4;

    explicit IpAddressEdit(QWidget* parent = nullptr);

    // The dotted address in plain decimal ("010" reads as 10, never as octal), a blank
    // field as empty text ("192..0.1"): at most 15 characters.
    QString text() const;
    // Takes up to four dot-separated parts; a part that is not 0 to 255 leaves its field blank.
    void setText(const QString& text);

    // Focus in the first field with its number selected, so that an address typed at
    // once replaces the one shown.
    void selectFirstField();

    QLineEdit* field(int index) const { return fields_[static_cast<std::size_t>(index)]; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    enum class Entry { SelectAll, AtStart, AtEnd };

    int indexOf(QObject* watched) const;
    void onEdited(int index);
    void enterField(int index, Entry entry);
    bool handleKey(int index, class QKeyEvent& key);
    bool handleMove(int index, const QKeyEvent& key);
    bool moveOn(int index, bool afterAutomaticMove);
    bool backspaceAcross(int index);
    bool pasteAddress();
    void tidyField(int index);
    void fitFields();

    std::array<QLineEdit*, kFieldCount> fields_{};
    // The field that three typed digits moved into, until the next key press there.
    int movedOnTo_ = -1;
};

}  // namespace imgdl
