#pragma once
// The Ensemble source without its windows: the picker's choices, the time bounds, the message
// query (as shown and as sent with bound parameters), and the fetch of every message of one
// interface into a local list.
#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Odbc.h"
#include "sources/DatabaseMessages.h"

namespace quillon {

// What the picker hands the loader; the business-type flags keep exactly one of the three set.
struct EnsembleState {
    QString EnsembleDSN;
    bool EnsembleBusinessServices = true;
    bool EnsembleBusinessProcesses = false;
    bool EnsembleBusinessOperations = false;
    bool EnsemblePickerDone = false;
    bool EnsemblePickerCancelled = false;
};

// The driver description a data source must contain (exact case) to be offered.
inline const QString kEnsembleDriverText = QStringLiteral("InterSystems ODBC");
inline const QString kListInterfacesCall = QStringLiteral("{call QM.ListInterfaces()}");
inline const QString kGetHL7MessageCall = QStringLiteral("{? = call QM.GetHL7Msg_GetHL7(?)}");
// The size of the procedure's output parameter.
constexpr int kLongMessageBufferSize = 100000;
// The server cuts RawContent at this length: a text this long or longer is fetched again whole.
constexpr size_t kLongMessageThreshold = 9999;

// "yyyy-mm-dd hh:mm:ss", 24-hour clock with leading zeros.
QString EnsembleTimeBound(const QDate& date, const QTime& time);

struct EnsembleBounds {
    QString start;
    QString end;
};
// "Load all of today's messages": midnight to 23:59:59 of `today`.
EnsembleBounds EnsembleTodayBounds(const QDate& today);

enum class EnsembleBusinessType { None, Service, Process, Operation };
// The flags in the order the loader tests them: services, then operations, then processes.
EnsembleBusinessType EnsembleTypeOf(const EnsembleState& state);
// The business type number that QM.ListInterfaces() gives in its field 3.
int EnsembleTypeNumber(EnsembleBusinessType type);

// The message query with the values filled in, exactly as the server's dialect reads it
// (`_` concatenates); this is the text to show. Empty for EnsembleBusinessType::None.
QString EnsembleQueryText(EnsembleBusinessType type, const QString& name,
                          const EnsembleBounds& bounds);
// The same statement with "?" for the interface name and the two bounds, which go to the
// database as bound parameters in that order.
QString EnsembleQueryStatement(EnsembleBusinessType type);

// The id of column 0 ("X" & id): the leading "X" dropped when there is one.
std::string EnsembleMessageId(std::string_view idColumn);
// True when the server may have cut the text short.
inline bool EnsembleMessageCutShort(std::string_view text)
{
    return text.size() >= kLongMessageThreshold;
}
// What QM.GetHL7Msg_GetHL7 returned, as the record: "" when it is one character or less.
std::string EnsembleLongMessageResult(std::string procedureResult);

// The whole text of the message with `id` through QM.GetHL7Msg_GetHL7 on an open connection,
// "" when the server returns one character or less; false on a failed call.
bool GetLongEnsembleMessage(platform::OdbcConnection& connection, const std::string& id,
                            std::string& text);

// The interfaces of `type` from QM.ListInterfaces() on `dsn` (no user or password of its own),
// in the server's order; names read before an error stay in `names`.
bool ListEnsembleInterfaces(const QString& dsn, EnsembleBusinessType type, QStringList& names,
                            platform::OdbcError& error);

struct EnsembleFetch {
    enum class Result { Loaded, NoRows, Failed } result = Result::Failed;
    platform::OdbcError error;
    DatabaseMessages messages;  // in the server's row order, long ones whole
};
// Runs the message query on `dsn` and reads every row (NULL as "") and every cut-short message
// whole before it returns; one connection, closed on every path.
EnsembleFetch FetchEnsembleMessages(const QString& dsn, EnsembleBusinessType type,
                                    const QString& name, const EnsembleBounds& bounds);

// The message boxes' texts.
QString EnsembleNoMessagesText(const QString& name);
QString EnsembleCannotConnectDsnText(const QString& dsn);
QString EnsembleLogonRefusedText(const QString& dsn);
QString EnsembleLoadErrorText(const platform::OdbcError& error);
inline const QString kEnsembleCannotConnectText = QStringLiteral("Can't connect to Cache.");
inline const QString kEnsembleNoTypeText =
    QStringLiteral("Neither Business Services or Operations are selected. Please contact Marrowby");
inline const QString kEnsembleNoTypeTitle = QStringLiteral("frmEnsembleInterfaces Error");
inline const QString kEnsembleNoInterfaceText = QStringLiteral("You have not selected an interface.");
inline const QString kEnsembleNoInterfaceTitle = QStringLiteral("No Interface Selected");

}  // namespace quillon
