#pragma once
// An IPv4 address control: four fields of 0 to 255 in one sunken box, separated by dots.
// Typing moves on by itself after three digits or a dot; Backspace and the arrow keys
// cross into the neighbouring field at its edge; pasting a dotted address fills all four.
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

    // The dotted address, a blank field as empty text ("192..0.1"): at most 15 characters.
    QString text() const;
    // Takes up to four dot-separated parts; a part that is not 0 to 255 leaves its field blank.
    void setText(const QString& text);

    QLineEdit* field(int index) const { return fields_[static_cast<std::size_t>(index)]; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    int indexOf(QObject* watched) const;
    void onEdited(int index);
    void enterField(int index, bool atEnd);
    bool handleKey(int index, class QKeyEvent& key);
    bool pasteAddress();
    void fitFields();

    std::array<QLineEdit*, kFieldCount> fields_{};
};

}  // namespace imgdl
