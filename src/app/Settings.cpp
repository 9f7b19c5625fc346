#include "app/Settings.h"

#include <cmath>

namespace quillon {

namespace {

const QString kExportReports = QStringLiteral("ExportReports");

std::optional<double> WholeTextNumber(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int16_t> PositiveSize(const QString& text)
{
    const std::optional<int16_t> size = WholeNumber16(text);
    if (!size || *size < 1)
        return std::nullopt;
    return size;
}

// The logging window's way of writing a switch.
QString NumericFlagText(bool on)
{
    return on ? QStringLiteral("-1") : QStringLiteral("0");
}

QString CharCodeText(char c)
{
    return QString::number(static_cast<unsigned char>(c));
}

}  // namespace

bool IsTrueText(const QString& text)
{
    return text.toUpper() == QLatin1String("TRUE");
}

double LeadingNumber(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto digitAt = [&](qsizetype k) { return k < n && text[k] >= u'0' && text[k] <= u'9'; };
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    const qsizetype mantissa = i;
    while (digitAt(i))
        ++i;
    if (i < n && text[i] == u'.') {
        ++i;
        while (digitAt(i))
            ++i;
    }
    if (i == mantissa || (i == mantissa + 1 && text[mantissa] == u'.'))
        return 0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype e = i + 1;
        if (e < n && (text[e] == u'+' || text[e] == u'-'))
            ++e;
        if (digitAt(e)) {
            while (digitAt(e))
                ++e;
            i = e;
        }
    }
    const double value = text.mid(start, i - start).toDouble();
    return std::isfinite(value) ? value : 0;
}

std::optional<bool> TruthValue(const QString& text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    if (const std::optional<double> number = WholeTextNumber(t))
        return *number != 0;
    return std::nullopt;
}

std::optional<int16_t> WholeNumber16(const QString& text)
{
    const std::optional<double> value = WholeTextNumber(text);
    if (!value)
        return std::nullopt;
    const double below = std::floor(*value);
    const double rest = *value - below;
    double whole = below;
    if (rest > 0.5 || (rest == 0.5 && std::fmod(below, 2.0) != 0))
        whole = below + 1;
    if (whole < INT16_MIN || whole > INT16_MAX)
        return std::nullopt;
    return static_cast<int16_t>(whole);
}

QString SizeText(double size)
{
    return QString::number(size);
}

QString Settings::DisplayOptionName(DisplayOption option)
{
    static const std::array<const char*, DisplayOptionCount> names = {"DisplayEmptyFields",
                                                                      "DisplayFieldDescriptions",
                                                                      "DisplayCompoundFields",
                                                                      "PromptBeforeDeleting",
                                                                      "UseMFUlist",
                                                                      "DisplaySegmentDescriptions",
                                                                      "DisplayButtonCaptions",
                                                                      "DisplayToolbar"};
    return QLatin1String(names[static_cast<size_t>(option)]);
}

QString Settings::AdminSwitchName(AdminSwitch which)
{
    static const std::array<const char*, AdminSwitchCount> names = {
        "AdminFileOpen",    "AdminFileSave",    "AdminGetFTP", "AdminPutFTP",
        "AdminTcpipClient", "AdminTcpipServer", "AdminPrint"};
    return QLatin1String(names[static_cast<size_t>(which)]);
}

QString Settings::Get(const QString& section, const QString& defaultValue, const QString& key) const
{
    return store_.Get(kSettingsApp, section, key, defaultValue);
}

bool Settings::Put(const QString& section, const QString& value, const QString& key)
{
    return store_.Save(kSettingsApp, section, key, value);
}

bool Settings::TruthSetting(const QString& section, bool defaultValue) const
{
    return TruthValue(Get(section, TrueFalseText(defaultValue))).value_or(defaultValue);
}

char Settings::CharSetting(const QString& section, char defaultValue) const
{
    const std::optional<int16_t> code = WholeNumber16(Get(section, QString::number(defaultValue)));
    if (!code || *code < 0 || *code > 255)
        return defaultValue;
    return static_cast<char>(static_cast<unsigned char>(*code));
}

QString Settings::ReportFontName() const
{
    return Get(kExportReports, QStringLiteral("Courier New"), QStringLiteral("ReportFontName"));
}

int16_t Settings::ReportFontSize() const
{
    return PositiveSize(Get(kExportReports, QStringLiteral("10"), QStringLiteral("ReportFontSize")))
        .value_or(int16_t{10});
}

bool Settings::LogTCPIP() const
{
    return LeadingNumber(Get(QStringLiteral("LogTCPIP"), {})) != 0;
}
bool Settings::LogMessage() const
{
    return LeadingNumber(Get(QStringLiteral("LogMessage"), {})) != 0;
}
bool Settings::LogMessageASCII() const
{
    return LeadingNumber(Get(QStringLiteral("LogMessageASCII"), {})) != 0;
}
QString Settings::LogFilename() const
{
    return Get(QStringLiteral("LogFilename"), QStringLiteral("LOG_%D.txt"));
}

bool Settings::SetLogTCPIP(bool on)
{
    return Put(QStringLiteral("LogTCPIP"), NumericFlagText(on));
}
bool Settings::SetLogMessage(bool on)
{
    return Put(QStringLiteral("LogMessage"), NumericFlagText(on));
}
bool Settings::SetLogMessageASCII(bool on)
{
    return Put(QStringLiteral("LogMessageASCII"), NumericFlagText(on));
}
bool Settings::SetLogFilename(const QString& pattern)
{
    return Put(QStringLiteral("LogFilename"), pattern);
}

char Settings::StartOfBlockChar() const
{
    return CharSetting(QStringLiteral("StartOfBlockChar"), 11);
}
char Settings::EndOfBlockChar() const
{
    return CharSetting(QStringLiteral("EndOfBlockChar"), 13);
}
char Settings::EndOfDataChar() const
{
    return CharSetting(QStringLiteral("EndOfDataChar"), 28);
}

bool Settings::SetStartOfBlockChar(char c)
{
    return Put(QStringLiteral("StartOfBlockChar"), CharCodeText(c));
}
bool Settings::SetEndOfBlockChar(char c)
{
    return Put(QStringLiteral("EndOfBlockChar"), CharCodeText(c));
}
bool Settings::SetEndOfDataChar(char c)
{
    return Put(QStringLiteral("EndOfDataChar"), CharCodeText(c));
}

QString Settings::LastFileOpenPath(const QString& dataFolder) const
{
    return Get(QStringLiteral("LastFileOpenPath"), dataFolder);
}
QString Settings::LastFileSavePath(const QString& dataFolder) const
{
    return Get(QStringLiteral("LastFileSavePath"), dataFolder);
}
bool Settings::SetLastFileOpenPath(const QString& folder)
{
    return Put(QStringLiteral("LastFileOpenPath"), folder);
}
bool Settings::SetLastFileSavePath(const QString& folder)
{
    return Put(QStringLiteral("LastFileSavePath"), folder);
}

QString Settings::DefaultExtensions(int index) const
{
    return Get(QStringLiteral("DefaultExtensions"), {}, QString::number(index));
}
bool Settings::SetDefaultExtensions(int index, const QString& extension)
{
    return Put(QStringLiteral("DefaultExtensions"), extension, QString::number(index));
}
QString Settings::DefaultExtension() const
{
    return Get(QStringLiteral("DefaultExtension"), {});
}
bool Settings::SetDefaultExtension(const QString& extension)
{
    return Put(QStringLiteral("DefaultExtension"), extension);
}
bool Settings::SetDefaultDataDir(const QString& folder)
{
    return Put(QStringLiteral("DefaultDataDir"), folder);
}

bool Settings::DiskUseEnvelope() const
{
    return TruthSetting(QStringLiteral("DiskUseEnvelope"), false);
}
bool Settings::FtpUseEnvelope() const
{
    return TruthSetting(QStringLiteral("FtpUseEnvelope"), false);
}
bool Settings::SetDiskUseEnvelope(bool on)
{
    return Put(QStringLiteral("DiskUseEnvelope"), TrueFalseText(on));
}
bool Settings::SetFtpUseEnvelope(bool on)
{
    return Put(QStringLiteral("FtpUseEnvelope"), TrueFalseText(on));
}

bool Settings::DisplayOptionOn(DisplayOption option) const
{
    return IsTrueText(Get(DisplayOptionName(option), QStringLiteral("TRUE")));
}
bool Settings::SetDisplayOption(DisplayOption option, bool on)
{
    return Put(DisplayOptionName(option), TrueFalseText(on));
}

ListFontSetting Settings::ListFont() const
{
    ListFontSetting font;
    font.name = Get(QStringLiteral("ListFontName"), font.name);
    font.bold = TruthSetting(QStringLiteral("ListFontBold"), font.bold);
    font.italic = TruthSetting(QStringLiteral("ListFontItalic"), font.italic);
    font.size =
        PositiveSize(Get(QStringLiteral("ListFontSize"), SizeText(font.size))).value_or(font.size);
    return font;
}

bool Settings::SetListFont(const QString& name, bool bold, bool italic, double size)
{
    bool ok = Put(QStringLiteral("ListFontName"), name);
    ok &= Put(QStringLiteral("ListFontBold"), TrueFalseText(bold));
    ok &= Put(QStringLiteral("ListFontItalic"), TrueFalseText(italic));
    ok &= Put(QStringLiteral("ListFontSize"), SizeText(size));
    return ok;
}

bool Settings::AdminSwitchOn(AdminSwitch which) const
{
    return TruthSetting(AdminSwitchName(which), false);
}
bool Settings::SetAdminSwitch(AdminSwitch which, bool on)
{
    return Put(AdminSwitchName(which), TrueFalseText(on));
}

bool Settings::ViewerUseNotepad() const
{
    return TruthSetting(QStringLiteral("ViewerUseNotepad"), false);
}
bool Settings::ViewerUseWordPad() const
{
    return TruthSetting(QStringLiteral("ViewerUseWordPad"), false);
}
bool Settings::ViewerWindowsDecides() const
{
    return TruthSetting(QStringLiteral("ViewerWindowsDecides"), false);
}
QString Settings::ViewerUserSelected() const
{
    return Get(QStringLiteral("ViewerUserSelected"), {});
}
bool Settings::SetViewerUseNotepad(bool on)
{
    return Put(QStringLiteral("ViewerUseNotepad"), TrueFalseText(on));
}
bool Settings::SetViewerUseWordPad(bool on)
{
    return Put(QStringLiteral("ViewerUseWordPad"), TrueFalseText(on));
}
bool Settings::SetViewerWindowsDecides(bool on)
{
    return Put(QStringLiteral("ViewerWindowsDecides"), TrueFalseText(on));
}
bool Settings::SetViewerUserSelected(const QString& editor)
{
    return Put(QStringLiteral("ViewerUserSelected"), editor);
}

void ReadStartupSettings(AppState& st)
{
    Settings settings(st.settings);
    st.options.ReportFontName = settings.ReportFontName();
    st.options.ReportFontSize = settings.ReportFontSize();

    st.trace.LogTCPIP = settings.LogTCPIP();
    st.trace.LogMessage = settings.LogMessage();
    st.trace.LogMessageASCII = settings.LogMessageASCII();
    st.trace.LogFilename = settings.LogFilename();
    st.envelope.StartOfBlockChar = settings.StartOfBlockChar();
    st.envelope.EndOfBlockChar = settings.EndOfBlockChar();
    st.envelope.EndOfDataChar = settings.EndOfDataChar();

    const QString& dataFolder = st.folders.DataFolder;
    st.options.LastFileOpenPath = settings.LastFileOpenPath(dataFolder);
    st.options.LastFileSavePath = settings.LastFileSavePath(dataFolder);
    for (size_t i = 0; i < st.options.DefaultExtensions.size(); ++i)
        st.options.DefaultExtensions[i] = settings.DefaultExtensions(static_cast<int>(i));
    st.options.DefaultExtension = settings.DefaultExtension();
    // An empty DefaultExtension marks a first run, or a store someone emptied it in: the file
    // dialogs start over from the data folder and the standard extensions.
    if (st.options.DefaultExtension.isEmpty()) {
        st.options.LastFileOpenPath = dataFolder;
        st.options.LastFileSavePath = dataFolder;
        settings.SetDefaultDataDir(dataFolder);
        st.options.DefaultExtensions = {QStringLiteral("*.*"), QStringLiteral("*.dat"),
                                        QStringLiteral("*.txt")};
        st.options.DefaultExtension = QStringLiteral("*.dat");
        settings.SetDefaultExtension(st.options.DefaultExtension);
        for (size_t i = 0; i < st.options.DefaultExtensions.size(); ++i)
            settings.SetDefaultExtensions(static_cast<int>(i), st.options.DefaultExtensions[i]);
    }

    st.options.DiskUseEnvelope = settings.DiskUseEnvelope();
    st.options.FtpUseEnvelope = settings.FtpUseEnvelope();
}

}  // namespace quillon
