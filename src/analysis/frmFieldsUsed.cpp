#include "analysis/frmFieldsUsed.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>
#include <string_view>
#include <unordered_set>

#include "records/FieldLines.h"
#include "editing/WindowText.h"

namespace quillon {

namespace {

std::string First15(std::string_view line)
{
    std::string s(line.substr(0, DesignationColumns));
    s.resize(DesignationColumns, ' ');
    return s;
}

// A list line's designation: its text before the first blank, or the whole line.
std::string_view ListDesignation(std::string_view line)
{
    return line.substr(0, line.find(' '));
}

}  // namespace

std::vector<std::string> FieldsUsedDisplayLines(const std::vector<std::string>& lines,
                                                const FieldsUsedSwitches& switches)
{
    std::vector<std::string> shown;
    shown.reserve(lines.size());
    // Designations listed so far, for merging repetition lines into their field.
    std::unordered_set<std::string> listed;
    const auto add = [&](std::string_view line) {
        shown.push_back(switches.displayDescriptions ? std::string(line) : First15(line));
        if (!switches.displayRepeatingFields)
            listed.emplace(ListDesignation(shown.back()));
    };
    for (const std::string& line : lines) {
        const size_t open = line.find('(');
        if (switches.displayRepeatingFields || open == std::string::npos) {
            add(line);
            continue;
        }
        if (listed.count(line.substr(0, open)) > 0)
            continue;
        // The repetition suffix gives way to blanks so the description column stays in place.
        // A line whose ")" is missing or stands before its "(" has no suffix to blank: it is
        // shown as it is.
        std::string merged = line;
        const size_t close = line.find(')');
        if (close != std::string::npos && close > open)
            merged.replace(open, close - open + 1, close - open + 1, ' ');
        add(merged);
    }
    if (switches.lastFieldOnly && !shown.empty()) {
        // Of each run of neighbouring lines with one segment id, the last.
        size_t kept = 0;
        for (size_t i = 0; i < shown.size(); ++i) {
            const bool last = i + 1 == shown.size()
                              || std::string_view(shown[i]).substr(0, 3)
                                     != std::string_view(shown[i + 1]).substr(0, 3);
            if (!last)
                continue;
            if (kept != i)
                shown[kept] = std::move(shown[i]);
            ++kept;
        }
        shown.resize(kept);
    }
    return shown;
}

frmFieldsUsed::frmFieldsUsed(const std::vector<std::string>& fieldsUsed, QWidget* parent)
    : QDialog(parent), FieldsUsed(fieldsUsed)
{
    setWindowTitle(QStringLiteral("Determine What Fields Are Used"));
    setModal(true);

    lstFieldsUsed = new QListWidget(this);
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(9.75);
    lstFieldsUsed->setFont(font);
    lstFieldsUsed->setUniformItemSizes(true);
    chkDisplayDesc = new QCheckBox(QStringLiteral("Display Field Descriptions"), this);
    chkDisplayDesc->setChecked(true);
    chkDisplayRepeatingFields = new QCheckBox(QStringLiteral("Display Repeating Fields"), this);
    chkDisplayRepeatingFields->setChecked(true);
    chkLastField = new QCheckBox(QStringLiteral("Only Show Last Field of each Segment"), this);
    cmdCopy = new QPushButton(QStringLiteral("Copy to Clipboard"), this);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setDefault(true);

    auto* checks = new QVBoxLayout;
    checks->addWidget(chkDisplayDesc);
    checks->addWidget(chkDisplayRepeatingFields);
    checks->addWidget(chkLastField);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdCopy);
    buttons->addWidget(cmdOK);
    auto* bottom = new QHBoxLayout;
    bottom->addLayout(checks);
    bottom->addStretch();
    bottom->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lstFieldsUsed);
    layout->addLayout(bottom);
    resize(640, 480);

    connect(chkDisplayDesc, &QCheckBox::clicked, this, &frmFieldsUsed::chkDisplayDesc_Click);
    connect(chkDisplayRepeatingFields, &QCheckBox::clicked, this,
            &frmFieldsUsed::chkDisplayRepeatingFields_Click);
    connect(chkLastField, &QCheckBox::clicked, this, &frmFieldsUsed::chkLastField_Click);
    connect(cmdCopy, &QPushButton::clicked, this, &frmFieldsUsed::cmdCopy_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmFieldsUsed::cmdOK_Click);

    // The lines as collected are what the initial check boxes show.
    DisplayData();
}

void frmFieldsUsed::DisplayData()
{
    FieldsUsedSwitches switches;
    switches.displayDescriptions = chkDisplayDesc->isChecked();
    switches.displayRepeatingFields = chkDisplayRepeatingFields->isChecked();
    switches.lastFieldOnly = chkLastField->isChecked();
    QStringList items;
    const std::vector<std::string> shown = FieldsUsedDisplayLines(FieldsUsed, switches);
    items.reserve(static_cast<qsizetype>(shown.size()));
    for (const std::string& line : shown)
        items.push_back(Text(line));
    // Drawn once, after the whole list is in.
    lstFieldsUsed->setUpdatesEnabled(false);
    lstFieldsUsed->clear();
    lstFieldsUsed->addItems(items);
    lstFieldsUsed->setUpdatesEnabled(true);
}

void frmFieldsUsed::chkDisplayDesc_Click()
{
    DisplayData();
}

void frmFieldsUsed::chkDisplayRepeatingFields_Click()
{
    DisplayData();
}

void frmFieldsUsed::chkLastField_Click()
{
    // Greyed with its tick kept: the tick still governs the list.
    chkDisplayRepeatingFields->setEnabled(!chkLastField->isChecked());
    DisplayData();
}

void frmFieldsUsed::cmdCopy_Click()
{
    QString text;
    for (int i = 0; i < lstFieldsUsed->count(); ++i) {
        text += lstFieldsUsed->item(i)->text();
        text += QLatin1String("\r\n");
    }
    QApplication::clipboard()->clear();
    QApplication::clipboard()->setText(text);
}

void frmFieldsUsed::cmdOK_Click()
{
    accept();
}

}  // namespace quillon
