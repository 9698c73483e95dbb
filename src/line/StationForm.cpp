#include "line/StationForm.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <filesystem>

#include "common/Sha256.h"
#include "ledger/Ledger.h"
#include "line/PortRowsEditor.h"
#include "ui/DialogService.h"

namespace imgdl::line {
namespace {

namespace fs = std::filesystem;

struct RecipeChoice {
    units::Recipe recipe;
    const char* what;
};
constexpr RecipeChoice kRecipes[] = {
    {units::Recipe::App, "the application image"},
    {units::Recipe::Integrated, "the integrated image, the identity patched in"},
    {units::Recipe::Identity, "the MAC address and serial number"},
    {units::Recipe::AppThenIdentity, "the application image, then the identity"},
};

QDoubleSpinBox* Seconds(const char* name, double least, std::chrono::milliseconds value,
                        QWidget* parent) {
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(least, 24 * 3600);
    box->setDecimals(1);
    box->setSuffix(QStringLiteral(" s"));
    box->setValue(static_cast<double>(value.count()) / 1000);
    return box;
}

std::chrono::milliseconds Millis(const QDoubleSpinBox* box) {
    return std::chrono::milliseconds(std::llround(box->value() * 1000));
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

StationForm::StationForm(std::string path, station::StationFile file, DialogService& service,
                         std::function<std::string()> busy, QWidget* parent)
    : QDialog(parent),
      path_(std::move(path)),
      file_(std::move(file)),
      service_(service),
      busy_(std::move(busy)) {
    setObjectName(QStringLiteral("stationForm"));
    setWindowTitle(tr("Station set-up — %1").arg(Text(fs::path(path_).filename().string())));
    const StationDraft draft = DraftOf(file_, path_);

    ports_ = new PortRowsEditor(this);
    ports_->setPorts(draft.ports);
    recipe_ = new QComboBox(this);
    recipe_->setObjectName(QStringLiteral("recipe"));
    for (const RecipeChoice& choice : kRecipes) {
        const QString name = Text(std::string(units::RecipeName(choice.recipe)));
        recipe_->addItem(name + QStringLiteral(" — ") + tr(choice.what), name);
        if (choice.recipe == draft.recipe) recipe_->setCurrentIndex(recipe_->count() - 1);
    }
    image_ = new QLineEdit(Text(draft.image), this);
    image_->setObjectName(QStringLiteral("image"));
    image_->setPlaceholderText(tr("the image file, relative to the station file"));
    auto* choose = new QPushButton(tr("C&hoose…"), this);
    choose->setObjectName(QStringLiteral("chooseImage"));
    imageSha256_ = new QLabel(this);
    imageSha256_->setObjectName(QStringLiteral("imageSha256"));
    imageSha256_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    imageSha256_->setWordWrap(true);
    ledger_ = new QLineEdit(Text(draft.ledger), this);
    ledger_->setObjectName(QStringLiteral("ledger"));
    ledger_->setPlaceholderText(Text(ledger::DefaultLedgerPath()));
    auto* ledgerNote =
        new QLabel(tr("An SQLite file or a postgresql:// URI, never a password: passwords live in "
                      "~/.pgpass."),
                   this);
    ledgerNote->setWordWrap(true);
    settle_ = Seconds("settle", 0, draft.settle, this);
    settle_->setToolTip(tr("After a unit is done, its restart, before its leaving is looked for"));
    goneAfter_ = Seconds("goneAfter", 0.1, draft.goneAfter, this);
    goneAfter_->setToolTip(tr("A unit has left when it has not answered for this long"));
    problems_ = new QLabel(this);
    problems_->setObjectName(QStringLiteral("problems"));
    problems_->setStyleSheet(QStringLiteral("color: #c62828;"));
    problems_->setWordWrap(true);
    problems_->hide();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    QPushButton* saveButton = buttons->button(QDialogButtonBox::Save);
    saveButton->setObjectName(QStringLiteral("save"));
    saveButton->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));

    auto* imageRow = new QHBoxLayout;
    imageRow->addWidget(image_, 1);
    imageRow->addWidget(choose);
    auto* timings = new QHBoxLayout;
    timings->addWidget(settle_);
    auto* goneLabel = new QLabel(tr("&gone after"), this);
    goneLabel->setBuddy(goneAfter_);
    timings->addWidget(goneLabel);
    timings->addWidget(goneAfter_);
    timings->addStretch();
    auto* form = new QFormLayout;
    form->addRow(tr("&Recipe:"), recipe_);
    // A row of a layout gets no buddy of its own: its label is given one, for Alt+I.
    auto* imageLabel = new QLabel(tr("&Image:"), this);
    imageLabel->setBuddy(image_);
    form->addRow(imageLabel, imageRow);
    form->addRow(QString(), imageSha256_);
    form->addRow(tr("&Ledger:"), ledger_);
    form->addRow(QString(), ledgerNote);
    auto* settleLabel = new QLabel(tr("Se&ttle:"), this);
    settleLabel->setBuddy(settle_);
    form->addRow(settleLabel, timings);
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(tr("Ports:"), this));
    column->addWidget(ports_, 1);
    column->addLayout(form);
    column->addWidget(problems_);
    column->addWidget(buttons);

    connect(choose, &QPushButton::clicked, this, &StationForm::chooseImage);
    connect(image_, &QLineEdit::editingFinished, this, &StationForm::showImageSha256);
    connect(buttons, &QDialogButtonBox::accepted, this, &StationForm::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    showImageSha256();
    // The ports' rows as they need, within the screen: a dialog's own size would be two
    // thirds of it at most.
    if (const QScreen* shown = screen())
        resize(sizeHint().boundedTo(shown->availableGeometry().size() * 0.95));
}

StationDraft StationForm::draft() const {
    StationDraft d;
    d.ports = ports_->ports();
    d.recipe = *units::ParseRecipe(recipe_->currentData().toString().toStdString());
    d.image = image_->text().trimmed().toStdString();
    d.ledger = ledger_->text().trimmed().toStdString();
    d.settle = Millis(settle_);
    d.goneAfter = Millis(goneAfter_);
    return d;
}

void StationForm::chooseImage() {
    FileDialogRequest ask;
    ask.title = "Choose the image";
    ask.defaultExtension = "bin";
    ask.filter = "Images (*.bin)|*.bin|All files|*|";
    ask.initialName = fs::path(path_).parent_path().string();
    const auto chosen = service_.chooseFile(ask);
    if (!chosen) return;
    // Below the station file's folder it is written relative, so the bench's folder moves
    // whole.
    const fs::path folder = fs::path(path_).parent_path();
    const fs::path relative = fs::path(*chosen).lexically_relative(folder.empty() ? "." : folder);
    const bool below = !relative.empty() && !relative.string().starts_with("..");
    image_->setText(Text(below ? relative.string() : *chosen));
    showImageSha256();
}

void StationForm::showImageSha256() {
    const std::string typed = image_->text().trimmed().toStdString();
    if (typed.empty()) {
        imageSha256_->setText(tr("no image"));
        return;
    }
    const fs::path image =
        fs::path(typed).is_absolute() ? fs::path(typed) : fs::path(path_).parent_path() / typed;
    const auto sha256 = Sha256OfFile(image.string());
    imageSha256_->setText(sha256 ? tr("SHA-256 %1").arg(Text(*sha256))
                                 : tr("%1 cannot be read").arg(Text(image.string())));
}

void StationForm::showProblems(const std::vector<std::string>& problems) {
    QStringList lines;
    for (const auto& problem : problems) lines << Text(problem);
    problems_->setText(lines.join(QLatin1Char('\n')));
    problems_->setVisible(!problems.empty());
}

void StationForm::save() {
    if (const std::string busy = busy_(); !busy.empty()) return showProblems({busy});
    auto made = FileOf(draft(), file_, path_);
    if (auto* problems = std::get_if<std::vector<std::string>>(&made))
        return showProblems(*problems);
    auto& file = std::get<station::StationFile>(made);
    if (const std::string error = SaveStationFile(file, path_); !error.empty())
        return showProblems({error});
    file_ = std::move(file);
    showProblems({});
    accept();
}

}  // namespace imgdl::line
