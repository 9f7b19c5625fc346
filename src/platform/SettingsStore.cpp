#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/FileIO.h"

namespace quillon::platform {

namespace {

bool NeedsEncoding(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || u == 0x7F || u == u'%' || u == u'\\' || u == u'[' || u == u']' || u == u'='
           || u == u'<' || u == u'>' || u == u';';
}

QString EncodeName(const QString& name)
{
    QString out;
    out.reserve(name.size());
    for (QChar c : name) {
        if (NeedsEncoding(c)) {
            out += QLatin1Char('%');
            out += QString::number(c.unicode(), 16).toUpper().rightJustified(2, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out;
}

int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

QString DecodeName(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'%' && i + 2 < text.size()) {
            const int high = HexDigit(text[i + 1]);
            const int low = HexDigit(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += QChar(static_cast<char16_t>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// The file's bytes; empty for a missing file, nothing when it exists but cannot be read.
std::optional<QByteArray> ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return QByteArray();
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

}  // namespace

QString SettingsStore::DefaultPath()
{
    QString folder = qEnvironmentVariable("QUILLON_HOME");
    if (folder.isEmpty()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        if (folder.isEmpty())
            folder = QDir::homePath() + QStringLiteral("/.config");
        folder += QStringLiteral("/Marrowby");
    }
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder + QStringLiteral("/Quillon.settings");
}

QString SettingsStore::SectionId(const QString& app, const QString& section)
{
    return app.toCaseFolded() + QLatin1Char('\n') + section.toCaseFolded();
}

QString SettingsStore::KeyId(const QString& key)
{
    return key.toCaseFolded();
}

bool SettingsStore::Open(const QString& path)
{
    path_ = path;
    sections_.clear();
    unwritten_ = false;
    const std::optional<QByteArray> data = ReadAll(path);
    fileBytes_ = data.value_or(QByteArray());
    sections_ = Parse(fileBytes_);
    return data.has_value();
}

QString SettingsStore::Get(const QString& app, const QString& section, const QString& key,
                           const QString& defaultValue) const
{
    const auto s = sections_.find(SectionId(app, section));
    if (s == sections_.end())
        return defaultValue;
    const auto e = s->second.entries.find(KeyId(key));
    return e == s->second.entries.end() ? defaultValue : e->second.value;
}

std::vector<std::pair<QString, QString>> SettingsStore::GetAllSettings(const QString& app,
                                                                       const QString& section) const
{
    std::vector<std::pair<QString, QString>> out;
    const auto s = sections_.find(SectionId(app, section));
    if (s != sections_.end())
        for (const auto& [id, entry] : s->second.entries)
            out.emplace_back(entry.key, entry.value);
    return out;
}

bool SettingsStore::Save(const QString& app, const QString& section, const QString& key,
                         const QString& value)
{
    TakeInOutsideChanges();
    Section& s = sections_[SectionId(app, section)];
    if (s.entries.empty()) {
        s.app = app;
        s.name = section;
    }
    auto [it, added] = s.entries.try_emplace(KeyId(key), Entry{key, value});
    if (!added) {
        if (it->second.value == value && !unwritten_)
            return true;
        it->second.value = value;
    }
    return Commit();
}

bool SettingsStore::DeleteSection(const QString& app, const QString& section)
{
    TakeInOutsideChanges();
    if (sections_.erase(SectionId(app, section)) == 0 && !unwritten_)
        return true;
    return Commit();
}

bool SettingsStore::DeleteSetting(const QString& app, const QString& section, const QString& key)
{
    TakeInOutsideChanges();
    const auto s = sections_.find(SectionId(app, section));
    if (s == sections_.end() || s->second.entries.erase(KeyId(key)) == 0)
        return unwritten_ ? Commit() : true;
    if (s->second.entries.empty())
        sections_.erase(s);
    return Commit();
}

SettingsStore::Sections SettingsStore::Parse(const QByteArray& data)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(data);
    // A file someone saved in another encoding still reads, one character a byte.
    if (utf8.hasError())
        text = QString::fromLatin1(data);

    Sections sections;
    Section* current = nullptr;
    Entry* last = nullptr;
    for (QStringView line : QStringView(text).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty() || line.front() == u';')
            continue;
        const QChar first = line.front();
        if (first == u'>' || first == u'<') {
            if (last) {
                last->value += first == u'>' ? QLatin1Char('\n') : QLatin1Char('\r');
                last->value += line.mid(1);
            }
            continue;
        }
        last = nullptr;
        if (first == u'[') {
            current = nullptr;
            const qsizetype slash = line.indexOf(u'\\');
            if (line.endsWith(u']') && slash > 0) {
                const QString app = DecodeName(line.mid(1, slash - 1));
                const QString name = DecodeName(line.mid(slash + 1, line.size() - slash - 2));
                current = &sections[SectionId(app, name)];
                if (current->entries.empty()) {
                    current->app = app;
                    current->name = name;
                }
            }
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!current || equals < 0)
            continue;
        const QString key = DecodeName(line.left(equals));
        Entry& entry = current->entries[KeyId(key)];
        entry = Entry{key, line.mid(equals + 1).toString()};
        last = &entry;
    }
    // A header with no entries under it names no section.
    std::erase_if(sections, [](const auto& s) { return s.second.entries.empty(); });
    return sections;
}

QByteArray SettingsStore::Serialize() const
{
    QString text;
    for (const auto& [id, section] : sections_) {
        if (section.entries.empty())
            continue;
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += QLatin1Char('[') + EncodeName(section.app) + QLatin1Char('\\')
                + EncodeName(section.name) + QStringLiteral("]\n");
        for (const auto& [keyId, entry] : section.entries) {
            text += EncodeName(entry.key);
            text += QLatin1Char('=');
            for (QChar c : entry.value) {
                if (c == u'\n')
                    text += QStringLiteral("\n>");
                else if (c == u'\r')
                    text += QStringLiteral("\n<");
                else
                    text += c;
            }
            text += QLatin1Char('\n');
        }
    }
    return text.toUtf8();
}

void SettingsStore::TakeInOutsideChanges()
{
    // Values the file lacks would be lost by taking the file in; the next write puts them there.
    if (!IsOpen() || unwritten_)
        return;
    const std::optional<QByteArray> data = ReadAll(path_);
    if (!data || *data == fileBytes_)
        return;
    fileBytes_ = *data;
    sections_ = Parse(fileBytes_);
}

bool SettingsStore::Commit()
{
    if (!IsOpen())
        return true;
    unwritten_ = true;
    if (held_ > 0)
        return true;
    const QFileInfo info(path_);
    // A file made read-only stays as it is, although its folder would let us replace it (and
    // although the superuser could write it).
    constexpr QFile::Permissions anyWrite =
        QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (info.exists() && (!info.isWritable() || !(info.permissions() & anyWrite))) {
        error_ = QString::fromLocal8Bit(std::strerror(EACCES));
        return false;
    }
    // A folder that cannot be made fails the write below, which gives the system's reason.
    QDir().mkpath(info.absolutePath());
    const QByteArray data = Serialize();
    if (!WriteFileWhole(path_, std::string_view(data.constData(), static_cast<size_t>(data.size())),
                        &error_))
        return false;
    fileBytes_ = data;
    unwritten_ = false;
    error_.clear();
    return true;
}

bool SettingsStore::Batch::End(QString* error)
{
    if (std::exchange(ended_, true) || --store_.held_ > 0 || !store_.unwritten_)
        return true;
    if (store_.Commit())
        return true;
    if (error)
        *error = store_.error_;
    return false;
}

}  // namespace quillon::platform
