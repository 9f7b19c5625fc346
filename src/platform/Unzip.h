#pragma once
// Extracting zip archives, over libzip. CGUnzipFiles keeps the option surface callers set before
// calling Unzip; it asks the user through Dialogs whether to replace a file and for passwords.
// Whatever an archive holds, nothing is written outside the extract folder: absolute names,
// ".." components and symbolic links are refused.
#include <QString>
#include <cstdint>

namespace quillon::platform {

class Dialogs;

// Results of Unzip, numbered as the unzip library's exit codes.
namespace unzip_result {
inline constexpr int32_t Ok = 0;
inline constexpr int32_t Warning = 1;       // entries refused as unsafe
inline constexpr int32_t EntryError = 2;    // an entry is damaged or cannot be read
inline constexpr int32_t ArchiveError = 3;  // the archive itself is damaged
inline constexpr int32_t NoZip = 9;         // missing, unreadable, or not a zip archive
inline constexpr int32_t BadParameter = 10;
inline constexpr int32_t DiskError = 50;    // a folder or file cannot be written
inline constexpr int32_t Cancelled = 80;    // the user chose Cancel when asked to replace a file
inline constexpr int32_t BadPassword = 82;  // an entry was left encrypted: no or wrong password
}  // namespace unzip_result

// What a printed text adds to the message: the text up to its first NUL, except that a
// text starting with a line feed adds just one CR LF.
QString UnzipPrintText(const QString& text);

class CGUnzipFiles {
public:
    explicit CGUnzipFiles(Dialogs& dialogs);

    bool ExtractNewer() const { return extractNewer_ == 1; }
    void setExtractNewer(bool v) { extractNewer_ = v ? 1 : 0; }
    // Spaces in extracted names become underscores.
    bool SpaceToUnderScore() const { return spaceToUnderScore_ == 1; }
    void setSpaceToUnderScore(bool v) { spaceToUnderScore_ = v ? 1 : 0; }
    // With OverWriteFiles off: ask before replacing an existing file instead of skipping it.
    bool PromptOverwrite() const { return promptOverwrite_ == 1; }
    void setPromptOverwrite(bool v) { promptOverwrite_ = v ? 1 : 0; }
    int16_t MessageLevel() const { return messageLevel_; }
    void setMessageLevel(int16_t v) { messageLevel_ = v; }
    bool WriteToStdOut() const { return writeToStdOut_ == 1; }
    void setWriteToStdOut(bool v) { writeToStdOut_ = v ? 1 : 0; }
    // Read and check every entry, write nothing.
    bool TestZip() const { return testZip_ == 1; }
    void setTestZip(bool v) { testZip_ = v ? 1 : 0; }
    int16_t ExtractList() const { return extractList_; }
    void setExtractList(int16_t v) { extractList_ = v; }
    bool ExtractOnlyNewer() const { return extractOnlyNewer_ == 1; }
    void setExtractOnlyNewer(bool v) { extractOnlyNewer_ = v ? 1 : 0; }
    bool DisplayComment() const { return displayComment_ == 1; }
    void setDisplayComment(bool v) { displayComment_ = v ? 1 : 0; }
    // Keep the archive's folders; when off every file lands straight in ExtractDir.
    bool HonorDirectories() const { return honorDirectories_ == 1; }
    void setHonorDirectories(bool v) { honorDirectories_ = v ? 1 : 0; }
    bool OverWriteFiles() const { return overWriteFiles_ == 1; }
    void setOverWriteFiles(bool v) { overWriteFiles_ = v ? 1 : 0; }
    // Kept for callers but never applied: message files must come out byte for byte.
    bool ConvertCRtoCRLF() const { return convertCRtoCRLF_ == 1; }
    void setConvertCRtoCRLF(bool v) { convertCRtoCRLF_ = v ? 1 : 0; }
    bool Verbose() const { return verbose_ == 1; }
    void setVerbose(bool v) { verbose_ = v ? 1 : 0; }
    bool CaseSensitive() const { return caseSensitive_ == 1; }
    void setCaseSensitive(bool v) { caseSensitive_ = v ? 1 : 0; }
    int16_t Privilege() const { return privilege_; }
    void setPrivilege(int16_t v) { privilege_ = v; }
    QString ZipFileName() const { return zipFileName_; }
    void setZipFileName(const QString& v) { zipFileName_ = v; }
    // Empty means the current folder.
    QString ExtractDir() const { return extractDir_; }
    void setExtractDir(const QString& v) { extractDir_ = v; }

    // Extracts (or tests) every entry of the archive. A non-empty argument first replaces
    // ZipFileName or ExtractDir. Returns unzip_result::Ok or the worst failure met; entries after
    // a failed one are still tried, except after Cancel. GetLastMessage tells what happened.
    int32_t Unzip(const QString& zipFileName = {}, const QString& extractDir = {});
    QString GetLastMessage() const { return zipMessage_; }

private:
    struct Run;  // the state of one Unzip call

    void Print(const QString& text);
    void PrintLine(const QString& text);

    Dialogs& dialogs_;

    int32_t extractNewer_ = 0;
    int32_t spaceToUnderScore_ = 0;
    int32_t promptOverwrite_ = 0;
    int16_t messageLevel_ = 2;
    int32_t writeToStdOut_ = 0;
    int32_t testZip_ = 0;
    int16_t extractList_ = 0;
    int32_t extractOnlyNewer_ = 0;
    int32_t displayComment_ = 0;
    int32_t honorDirectories_ = 1;
    int32_t overWriteFiles_ = 1;
    int32_t convertCRtoCRLF_ = 0;
    int32_t verbose_ = 0;
    int32_t caseSensitive_ = 1;
    int16_t privilege_ = 0;
    QString zipFileName_;
    QString extractDir_;

    QString zipMessage_;  // text printed during the last call
};

}  // namespace quillon::platform
