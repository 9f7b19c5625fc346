#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "TestSupport.h"
#include "platform/Odbc.h"

namespace quillon::test {
namespace {

// Points unixODBC at scratch configuration files holding the given user data sources.
class ScratchOdbc {
public:
    explicit ScratchOdbc(const std::string& userDataSources)
    {
        WriteBytes(dir_.filePath(QStringLiteral("odbc.ini")), "");
        WriteBytes(dir_.filePath(QStringLiteral("odbcinst.ini")), "");
        WriteBytes(dir_.filePath(QStringLiteral("user.ini")), userDataSources);
        savedSys_ = qgetenv("ODBCSYSINI");
        savedUser_ = qgetenv("ODBCINI");
        qputenv("ODBCSYSINI", dir_.path().toLocal8Bit());
        qputenv("ODBCINI", dir_.filePath(QStringLiteral("user.ini")).toLocal8Bit());
    }
    ~ScratchOdbc()
    {
        qputenv("ODBCSYSINI", savedSys_);
        qputenv("ODBCINI", savedUser_);
    }

private:
    QTemporaryDir dir_;
    QByteArray savedSys_;
    QByteArray savedUser_;
};

struct DsnCase {
    const char* name;
    std::string ini;
    bool installed;
    QStringList names;
};

class EnsembleDriverTest : public ::testing::TestWithParam<DsnCase> {};

TEST_P(EnsembleDriverTest, AnswersFromTheConfiguredDataSources)
{
    const ScratchOdbc odbc(GetParam().ini);
    EXPECT_EQ(platform::IsEnsembleOdbcDriverInstalled(), GetParam().installed);
    EXPECT_EQ(platform::DataSourcesWithDriver(QStringLiteral("InterSystems ODBC")),
              GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(
    DataSources, EnsembleDriverTest,
    ::testing::Values(
        DsnCase{"None", "", false, {}},
        DsnCase{"OtherDriversOnly",
                "[pg]\nDriver = PostgreSQL Unicode\n\n[lite]\nDriver = SQLite3\n", false, {}},
        DsnCase{"EnsembleAmongOthers",
                "[pg]\nDriver = PostgreSQL Unicode\n\n[ens]\nDriver = InterSystems ODBC35\n"
                "\n[ens2]\nDriver = InterSystems ODBC\n",
                true, {QStringLiteral("ens"), QStringLiteral("ens2")}},
        DsnCase{"LetterCaseCounts", "[ens]\nDriver = intersystems odbc\n", false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillon::test
