#include "reports/frmExportReport.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>

#include "app/Settings.h"
#include "editing/WindowText.h"
#include "platform/Dialogs.h"
#include "platform/SettingsStore.h"
#include "records/Dictionary.h"
#include "records/TextEncoding.h"
#include "reports/frmReport.h"

namespace quillon {
namespace {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

const QString kSection = QStringLiteral("ExportReports");

// The main window's hourglass while the export writes; the default pointer on every way out.
class MainPointer {
public:
    explicit MainPointer(QWidget* window) : window_(window)
    {
        if (window_ != nullptr)
            window_->setCursor(Qt::WaitCursor);
    }
    ~MainPointer() { Release(); }
    void Release()
    {
        if (window_ != nullptr)
            window_->unsetCursor();
        window_ = nullptr;
    }
    MainPointer(const MainPointer&) = delete;
    MainPointer& operator=(const MainPointer&) = delete;

private:
    QWidget* window_;
};

}  // namespace

frmExportReport::frmExportReport(frmReport& report) : QDialog(&report), report_(report)
{
    setWindowTitle(QStringLiteral("Export Report"));

    ssTabExport = new QTabWidget(this);

    auto* delimited = new QWidget;
    txtSeparator = new QLineEdit;
    optAllQuotes = new QRadioButton(QStringLiteral("Put quotes around all fields"));
    optDelimQuotes = new QRadioButton(
        QStringLiteral("Put quotes only around fields containing the field separator."));
    quotes_ = new QButtonGroup(this);
    quotes_->addButton(optAllQuotes);
    quotes_->addButton(optDelimQuotes);
    {
        auto* separatorRow = new QHBoxLayout;
        separatorRow->addWidget(new QLabel(QStringLiteral("Field Separator:")));
        separatorRow->addWidget(txtSeparator);
        separatorRow->addStretch();
        auto* frame = new QGroupBox(QStringLiteral("Quotes"));
        auto* frameLayout = new QVBoxLayout(frame);
        frameLayout->addWidget(optAllQuotes);
        frameLayout->addWidget(optDelimQuotes);
        auto* layout = new QVBoxLayout(delimited);
        layout->addLayout(separatorRow);
        layout->addWidget(frame);
        layout->addStretch();
    }

    auto* fixed = new QWidget;
    lstFieldWidths = new QListWidget;
    QFont pitch(QStringLiteral("Courier New"));
    pitch.setStyleHint(QFont::TypeWriter);
    lstFieldWidths->setFont(pitch);
    lblFieldName = new QLabel;
    txtFieldWidth = new QLineEdit;
    optLeftJustify[0] = new QRadioButton(QStringLiteral("Left Justify"));
    optLeftJustify[1] = new QRadioButton(QStringLiteral("Right Justify"));
    justify_ = new QButtonGroup(this);
    justify_->addButton(optLeftJustify[0], 0);
    justify_->addButton(optLeftJustify[1], 1);
    chkZeroFill = new QCheckBox(QStringLiteral("Zero Fill"));
    cmdSaveChange = new QPushButton(QStringLiteral("Save Change"));
    {
        auto* layout = new QGridLayout(fixed);
        layout->addWidget(new QLabel(QStringLiteral("Field Width/Justification/Zero Fill and Field Name")),
                          0, 0, 1, 2);
        layout->addWidget(lstFieldWidths, 1, 0, 1, 2);
        layout->addWidget(new QLabel(QStringLiteral("Field Name:")), 2, 0);
        layout->addWidget(lblFieldName, 2, 1);
        layout->addWidget(new QLabel(QStringLiteral("Field Width:")), 3, 0);
        layout->addWidget(txtFieldWidth, 3, 1);
        layout->addWidget(optLeftJustify[0], 4, 0);
        layout->addWidget(optLeftJustify[1], 4, 1);
        layout->addWidget(chkZeroFill, 5, 0);
        layout->addWidget(cmdSaveChange, 5, 1);
    }
    ssTabExport->addTab(delimited, QStringLiteral("Delimited"));
    ssTabExport->addTab(fixed, QStringLiteral("Fixed Width"));

    optExportAll = new QRadioButton(QStringLiteral("Export All Records"));
    optExportSelected = new QRadioButton(QStringLiteral("Export Only Selected Records"));
    rows_ = new QButtonGroup(this);
    rows_->addButton(optExportAll);
    rows_->addButton(optExportSelected);
    chkExportColumnHeader =
        new QCheckBox(QStringLiteral("Export column headers as the first row of the exported file."));
    chkUseFieldDescriptions = new QCheckBox(QStringLiteral("Use field descriptions as column headers"));
    auto* options = new QGroupBox(QStringLiteral("Options"));
    {
        auto* layout = new QVBoxLayout(options);
        layout->addWidget(new QLabel(QStringLiteral("Records to Export:")));
        layout->addWidget(optExportAll);
        layout->addWidget(optExportSelected);
        layout->addWidget(chkExportColumnHeader);
        layout->addWidget(chkUseFieldDescriptions);
    }

    cmdExport = new QPushButton(QStringLiteral("Export"));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdExport);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ssTabExport);
    layout->addWidget(options);
    layout->addLayout(buttons);

    connect(lstFieldWidths, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            lstFieldWidths_Click();
    });
    connect(justify_, &QButtonGroup::idClicked, this, &frmExportReport::optLeftJustify_Click);
    connect(cmdSaveChange, &QPushButton::clicked, this, &frmExportReport::cmdSaveChange_Click);
    connect(cmdExport, &QPushButton::clicked, this, &frmExportReport::cmdExport_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmExportReport::cmdCancel_Click);

    Form_Load();
}

ExportTable frmExportReport::ReportTable() const
{
    const QTreeWidget* list = report_.lvReportList;
    const int columns = list->columnCount();
    ExportTable table;
    for (int c = 0; c < columns; ++c)
        table.headings.push_back(Bytes(list->headerItem()->text(c)));
    const int rows = list->topLevelItemCount();
    table.cells.reserve(static_cast<size_t>(rows) * static_cast<size_t>(columns));
    table.selected.reserve(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        const QTreeWidgetItem* item = list->topLevelItem(r);
        for (int c = 0; c < columns; ++c)
            table.cells.push_back(CellBytes(item, c));
        table.selected.push_back(item->isSelected() ? 1 : 0);
        table.utf8.push_back(item->data(0, Utf8RowRole).toBool() ? 1 : 0);
    }
    return table;
}

std::vector<int> frmExportReport::DisplayOrder() const
{
    const QHeaderView* header = report_.lvReportList->header();
    std::vector<int> order;
    for (int p = 0; p < report_.lvReportList->columnCount(); ++p)
        order.push_back(header->logicalIndex(p));
    return order;
}

std::string frmExportReport::Description(const std::string& heading) const
{
    return report_.dictionary != nullptr ? report_.dictionary->LookupFieldDescription(heading, true)
                                         : std::string();
}

void frmExportReport::SetOption(QRadioButton* option, bool on)
{
    if (on) {
        option->setChecked(true);
        return;
    }
    QButtonGroup* group = option->group();
    group->setExclusive(false);
    option->setChecked(false);
    group->setExclusive(true);
}

void frmExportReport::Form_Load()
{
    // Applied in this order: of two options of a frame that are both stored True, the later
    // one is chosen.
    const platform::SettingsStore* store = report_.settings;
    auto get = [store](const char* key, const QString& fallback) {
        return store != nullptr ? store->Get(kSettingsApp, kSection, QString::fromLatin1(key), fallback)
                                : fallback;
    };
    auto flag = [&](const char* key, bool fallback) {
        return TruthValue(get(key, TrueFalseText(fallback))).value_or(fallback);
    };
    chkExportColumnHeader->setChecked(LeadingNumber(get("ExportColumnHeader", "1")) != 0);
    txtSeparator->setText(get("SeparatorText", ","));
    SetOption(optAllQuotes, flag("QuoteAllFields", false));
    SetOption(optDelimQuotes, flag("QuoteFieldsWithDelim", true));
    ssTabExport->setCurrentIndex(LeadingNumber(get("ExportTab", "0")) == 1 ? 1 : 0);
    SetOption(optExportAll, flag("ExportAll", true));
    SetOption(optExportSelected, flag("ExportSelected", true));
    chkUseFieldDescriptions->setChecked(true);

    const ExportTable table = ReportTable();
    const std::vector<int> widths = DefaultWidths(table);
    for (const int c : DisplayOrder()) {
        const std::string& heading = table.headings[static_cast<size_t>(c)];
        lstFieldWidths->addItem(Text(ColumnFormatLine(
            ColumnFormat{widths[static_cast<size_t>(c)], true, false}, heading, Description(heading))));
    }
    if (lstFieldWidths->count() > 0)
        lstFieldWidths->setCurrentRow(0);
}

void frmExportReport::SaveSettings()
{
    platform::SettingsStore* store = report_.settings;
    if (store == nullptr)
        return;
    const platform::SettingsStore::Batch batch(*store);
    auto put = [store](const char* key, const QString& value) {
        store->Save(kSettingsApp, kSection, QString::fromLatin1(key), value);
    };
    put("ExportColumnHeader", chkExportColumnHeader->isChecked() ? "1" : "0");
    put("SeparatorText", txtSeparator->text());
    put("QuoteAllFields", TrueFalseText(optAllQuotes->isChecked()));
    put("QuoteFieldsWithDelim", TrueFalseText(optDelimQuotes->isChecked()));
    put("ExportTab", QString::number(ssTabExport->currentIndex()));
    put("ExportAll", TrueFalseText(optExportAll->isChecked()));
    put("ExportSelected", TrueFalseText(optExportSelected->isChecked()));
}

void frmExportReport::done(int result)
{
    SaveSettings();
    QDialog::done(result);
}

void frmExportReport::lstFieldWidths_Click()
{
    const QListWidgetItem* item = lstFieldWidths->currentItem();
    if (item == nullptr)
        return;
    const ColumnFormatEntry entry = ReadColumnFormatLine(Bytes(item->text()));
    lblFieldName->setText(Text(entry.heading));
    txtFieldWidth->setText(QString::number(entry.format.width));
    optLeftJustify[entry.format.left ? 0 : 1]->setChecked(true);
    chkZeroFill->setEnabled(!entry.format.left);
    chkZeroFill->setChecked(!entry.format.left && entry.format.zeroFill);
}

void frmExportReport::optLeftJustify_Click(int index)
{
    chkZeroFill->setEnabled(index == 1);
    if (index == 0)
        chkZeroFill->setChecked(false);
}

void frmExportReport::cmdSaveChange_Click()
{
    const int row = lstFieldWidths->currentRow();
    // After a change no line is selected: there is nothing to change until one is chosen.
    if (row < 0 || !lstFieldWidths->currentItem()->isSelected())
        return;
    const QString heading = lblFieldName->text();
    int width = static_cast<int>(heading.size());
    if (!txtFieldWidth->text().trimmed().isEmpty()) {
        const double typed = LeadingNumber(txtFieldWidth->text());
        if (typed > MaxExportWidth) {
            report_.dialogs->MsgBox(
                QStringLiteral("Field widths are limited to a maximum of 9,999 characters."),
                MsgButtons::OKOnly, MsgIcon::Critical, QStringLiteral("Exceeds Maximum Field Width"));
            return;
        }
        // A negative width is no width at all; decimals are dropped.
        width = std::max(0, static_cast<int>(std::trunc(typed)));
        if (width < heading.size()) {
            const MsgAnswer answer = report_.dialogs->MsgBox(
                QStringLiteral("That width is shorter than the width of the HL7 field name.  "
                               "Therefore, you can not export the column headers as the first row "
                               "of the exported file.  OK to proceed?"),
                MsgButtons::YesNo, MsgIcon::Exclamation,
                QStringLiteral("Column Width Too Narrow for Field Name"));
            if (answer != MsgAnswer::Yes)
                return;
            chkExportColumnHeader->setChecked(false);
        }
    }
    const std::string name = Bytes(heading);
    const ColumnFormat format{width, optLeftJustify[0]->isChecked(), chkZeroFill->isChecked()};
    const QSignalBlocker block(lstFieldWidths);
    delete lstFieldWidths->takeItem(row);
    lstFieldWidths->insertItem(row, Text(ColumnFormatLine(format, name, Description(name))));
    lstFieldWidths->clearSelection();
    lstFieldWidths->setCurrentRow(-1);
}

void frmExportReport::cmdCancel_Click()
{
    reject();
}

void frmExportReport::RefuseSeparator(const QString& character)
{
    TellCharacterNotHeld(*report_.dialogs, character,
                         QStringLiteral("as one byte in the exported records' character set"),
                         QStringLiteral("nothing was exported."));
}

void frmExportReport::cmdExport_Click()
{
    const std::vector<int> order = DisplayOrder();
    platform::FileDialogRequest request;
    request.save = true;
    request.title = QStringLiteral("Export to Delimited File");
    request.folder = report_.lastFileSavePath;
    request.patterns = {QStringLiteral("All Files (*.*)"), QStringLiteral("Text Files (*.txt)"),
                        QStringLiteral("Data Files (*.dat)"), QStringLiteral("HL7 Files (*.hl7)")};
    request.selectedPattern = 0;
    const QStringList chosen = report_.dialogs->FileDialog(request);
    if (chosen.isEmpty()) {
        reject();
        return;
    }
    const QString path = chosen.front();
    QApplication::processEvents();
    MainPointer pointer(report_.mainWindow);

    const QString separatorText = txtSeparator->text();
    const bool delimited = ssTabExport->currentIndex() != 1;
    const QString beyond = FirstBeyondLatin1(separatorText);
    // The separator is one byte in the file: Latin-1's, or none at all.
    if (delimited && !beyond.isEmpty() && beyond == separatorText) {
        pointer.Release();
        RefuseSeparator(beyond);
        return;
    }
    const std::optional<char> separator = ResolveSeparator(Bytes(separatorText));
    if (!separator) {
        pointer.Release();
        report_.dialogs->MsgBox(QStringLiteral("Unknown character entered.  Please try again."),
                                MsgButtons::OKOnly, MsgIcon::Information,
                                QStringLiteral("Unknown Character"));
        return;
    }

    ExportOptions options;
    options.kind = ssTabExport->currentIndex() == 1 ? ExportKind::FixedWidth : ExportKind::Delimited;
    options.separator = *separator;
    options.quotes = optAllQuotes->isChecked()     ? QuoteMode::All
                     : optDelimQuotes->isChecked() ? QuoteMode::WithSeparator
                                                   : QuoteMode::None;
    options.columnHeader = chkExportColumnHeader->isChecked();
    options.useDescriptions = chkUseFieldDescriptions->isChecked();
    options.selectedOnly = !optExportAll->isChecked();
    options.order = order;
    for (size_t i = 0; i < order.size(); ++i) {
        const QListWidgetItem* line = lstFieldWidths->item(static_cast<int>(i));
        options.formats.push_back(line != nullptr ? ReadColumnFormatLine(Bytes(line->text())).format
                                                  : ColumnFormat{});
    }
    const ExportTable table = ReportTable();
    // A byte above 127 is no character of a UTF-8 row.
    if (delimited && static_cast<unsigned char>(*separator) >= 0x80) {
        for (size_t r = 0; r < table.RowCount(); ++r) {
            if ((options.selectedOnly && table.selected[r] == 0) || r >= table.utf8.size()
                || table.utf8[r] == 0)
                continue;
            pointer.Release();
            RefuseSeparator(separatorText);
            return;
        }
    }
    const std::string bytes = ExportBytes(table, options, report_.dictionary);

    QString reason;
    const bool written = WriteExportFile(path, bytes, &reason);
    pointer.Release();
    if (!written) {
        report_.dialogs->MsgBox(QStringLiteral("The report could not be exported to ") +
                                    QDir::toNativeSeparators(path) + QStringLiteral(".  ") + reason,
                                MsgButtons::OKOnly, MsgIcon::Critical, QStringLiteral("Export Failed"));
        return;
    }
    accept();
}

void frmReport::mnuExport_Click()
{
    frmExportReport window(*this);
    window.exec();
}

}  // namespace quillon
