#include "ui/header/HeaderDlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <filesystem>

#include "config/ProgramContext.h"
#include "platform/Text.h"

namespace fs = std::filesystem;

namespace quelt::ui {

using F = FieldFormat;

LogoArea::LogoArea(const QImage& logo, QWidget* parent) : QWidget(parent), logo_(logo) {
    setObjectName("picture");
    setMinimumSize(120, 90);
}

void LogoArea::paintEvent(QPaintEvent*) {
    if (logo_.isNull()) return;
    QPainter p(this);
    p.drawImage(rect(), logo_);
}

CHeaderPage::CHeaderPage(const QImage& logo, QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    column_ = new QVBoxLayout;
    form_ = new QGridLayout;
    column_->addLayout(form_);
    row->addLayout(column_, 1);
    auto* side = new QVBoxLayout;
    side->addWidget(new LogoArea(logo, this));
    side->addStretch();
    row->addLayout(side);
}

void CHeaderPage::addFields(const char* groupTitle, const std::vector<HeaderField>& fields) {
    QGridLayout* grid = form_;
    QWidget* owner = this;
    if (groupTitle && *groupTitle) {
        auto* group = new QGroupBox(groupTitle, this);
        grid = new QGridLayout(group);
        column_->addWidget(group);
        owner = group;
    }
    int row = grid->rowCount();
    for (const auto& f : fields) {
        auto* edit = new QLineEdit(owner);
        edit->setObjectName(f.key);
        if (f.format != F::Text) edit->setAlignment(Qt::AlignRight);
        if (*f.caption) {
            auto* label = new QLabel(f.caption, owner);
            label->setBuddy(edit);
            grid->addWidget(label, row, 0);
        }
        grid->addWidget(edit, row, 1);
        ++row;
        boxes_.emplace_back(f, edit);
    }
}

void CHeaderPage::fill(const LogHeader& header) {
    for (auto& [f, edit] : boxes_)
        edit->setText(QString::fromStdString(fieldText(header, f)));
}

bool CHeaderPage::store(LogHeader& header, Operator& op) {
    bool ok = true;
    for (auto& [f, edit] : boxes_) {
        if (!storeField(header, f, edit->text().toStdString())) {
            op.message(kEnterNumber, MessageKind::Error);
            ok = false;
        }
    }
    return ok;
}

QLineEdit* CHeaderPage::box(const char* key) const {
    for (auto& [f, edit] : boxes_)
        if (std::string_view(f.key) == key) return edit;
    return nullptr;
}

CHCompagnyDlg::CHCompagnyDlg(const QImage& logo, QWidget* parent) : CHeaderPage(logo, parent) {
    addFields("", {{"&Project Heading", "Project", F::Text},
                   {"Main Log &Title", "LogName", F::Text},
                   {"C&ompany", "Company", F::Text},
                   {"&Well", "Wellname", F::Text},
                   {"&Field", "Fieldname", F::Text},
                   {"Co&untry", "Country", F::Text},
                   {"St&ate", "Location", F::Text},
                   {"&Latitude", "Latitude", F::Text},
                   {"Lo&ngitude", "Longitude", F::Text},
                   {"Oth&erServices", "OtherServices1", F::Text},
                   {"", "OtherServices2", F::Text},
                   {"", "OtherServices3", F::Text},
                   {"", "OtherServices4", F::Text},
                   {"", "OtherServices5", F::Text}});
    column_->addStretch();
}

CHWeelDatumDlg::CHWeelDatumDlg(const QImage& logo, QWidget* parent) : CHeaderPage(logo, parent) {
    addFields("", {{"&PermanentDatum", "LogDatum", F::Text},
                   {"&Elevation", "Elevation", F::Text},
                   {"&Log Datum", "DateRun1", F::Text},
                   {"&Drilling Datum", "DrillDatum", F::Text},
                   {"&Kelly Bushing Elev", "KellyBushing", F::Real3},
                   {"&Drill Floor", "DrillFloor", F::Real3},
                   {"&Ground Level", "GroundLevel", F::Real3}});
    column_->addStretch();
}

CHGroundDlg::CHGroundDlg(const QImage& logo, QWidget* parent) : CHeaderPage(logo, parent) {
    addFields("", {{"&Run No", "RunNo1", F::Integer},
                   {"&Date", "Date", F::Text},
                   {"&Type of log", "LogType1", F::Text},
                   {"D&epth Driller", "DepthDriller1", F::Real3Dash},
                   {"Depth L&ogger", "DepthLogger1", F::Real3Dash},
                   {"Lo&g Deepest", "Deepest1", F::Real3Dash},
                   {"Log S&hallow", "Shallow1", F::Real3Dash},
                   {"Fluid &in Hole", "Fluid1", F::Text},
                   {"Log E&ngeneer", "Engineer1", F::Text},
                   {"&Salinity", "Salinity1", F::Text},
                   {"Densit&y", "FluidDensity1", F::Text},
                   {"&Level", "FluidLevel1", F::Text},
                   {"Ma&x. Temp.", "MaxTemperature1", F::Real2},
                   {"Rig. Ti&me.", "RigTime1", F::Text},
                   {"&Witnessed by.", "Witness1", F::Text}});
    column_->addStretch();
}

CHRecordDlg::CHRecordDlg(const QImage& logo, QWidget* parent) : CHeaderPage(logo, parent) {
    addFields("", {{"&Run No", "RunNo1", F::Integer}});
    addFields("Casing Record", {{"&Size", "CasRecSize1", F::Real3Dash},
                                {"&Weight", "CasRecWeight1", F::Real3Dash},
                                {"&From", "CasRecFrom1", F::Real3Dash},
                                {"&To", "CasRecTo1", F::Real3Dash}});
    addFields("BitRecord", {{"&Bit", "BitRec1", F::Real3Dash},
                            {"Fro&m", "BitRecFrom1", F::Real3Dash},
                            {"T&o", "BitRecTo1", F::Real3Dash}});
    column_->addStretch();
}

CHCommentDlg::CHCommentDlg(const QImage& logo, QWidget* parent) : CHeaderPage(logo, parent) {
    remarks_ = new QPlainTextEdit(this);
    remarks_->setObjectName("remarks");
    remarks_->setLineWrapMode(QPlainTextEdit::NoWrap);
    column_->addWidget(remarks_, 1);
}

void CHCommentDlg::fill(const LogHeader& header) {
    remarks_->setPlainText(QString::fromStdString(commentsText(header)));
}

bool CHCommentDlg::store(LogHeader& header, Operator&) {
    storeComments(header, remarks_->toPlainText().toStdString());
    return true;
}

CHeaderDlg::CHeaderDlg(ProgramContext& context, Operator& op, const QImage& logo, QWidget* parent,
                       std::time_t today)
    : QDialog(parent), context_(context), op_(op), logo_(logo), today_(today) {
    setWindowTitle("Log Header");
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("tabs");
    pages_ = {new CHCompagnyDlg(logo_, tabs_), new CHWeelDatumDlg(logo_, tabs_),
              new CHGroundDlg(logo_, tabs_), new CHRecordDlg(logo_, tabs_), nullptr};
    comments_ = new CHCommentDlg(logo_, tabs_);
    pages_[4] = comments_;
    const char* captions[5] = {"C&lient / Location", "Log &Datum", "&Logging Run", "Drill &Bit Size / Casing",
                               "&Remarks"};
    for (int i = 0; i < 5; ++i)
        tabs_->addTab(pages_[static_cast<size_t>(i)], captions[i]);
    tabs_->setCurrentIndex(0);

    load_ = new QPushButton("&Load", this);
    reset_ = new QPushButton("&Reset", this);
    cancel_ = new QPushButton("&Cancel", this);
    save_ = new QPushButton("&Save", this);
    save_->setDefault(true);
    connect(load_, &QPushButton::clicked, this, &CHeaderDlg::Load);
    connect(reset_, &QPushButton::clicked, this, &CHeaderDlg::Reset);
    connect(save_, &QPushButton::clicked, this, &CHeaderDlg::Save);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(load_);
    buttons->addWidget(reset_);
    buttons->addStretch();
    buttons->addWidget(cancel_);
    buttons->addWidget(save_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addLayout(buttons);

    fillPages();
    Reset();
}

void CHeaderDlg::fillPages() {
    for (int i : {4, 0, 2, 1, 3})
        pages_[static_cast<size_t>(i)]->fill(context_.header);
}

void CHeaderDlg::Reset() {
    resetHeader(context_.header, context_.settings, today_);
    fillPages();
}

void CHeaderDlg::Load() {
    auto chosen = op_.chooseFile("Load", context_.paths.logDir, "VEXA File (*.HED)", false);
    if (!chosen) return;
    if (!equalsNoCase(fs::path(*chosen).extension().string(), ".hed") || !fs::is_regular_file(*chosen)) {
        op_.message("Data file not present.\n" + *chosen, MessageKind::Error);
        return;
    }
    // Read through a header reader of its own so that only the well information is taken over.
    Settings settings = context_.settings;
    ProgramPaths paths = context_.paths;
    PlacementRecord placements = context_.placements;
    LogHeader read;
    CHeader reader(settings, paths, placements, op_, read, *context_.sondes);
    reader.ReadHeader(*chosen);
    copyWellInfo(read, context_.header);
    fillPages();
}

void CHeaderDlg::Save() {
    LogHeader& h = context_.header;
    for (int i : {0, 4, 2, 1, 3})
        pages_[static_cast<size_t>(i)]->store(h, op_);
    accept();
}

}  // namespace quelt::ui
