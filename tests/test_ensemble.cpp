// The Ensemble source: the query as shown and as sent, the picker, and loads from a real
// PostgreSQL database standing in for the server.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDateEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTimeEdit>
#include <QTimer>
#include <deque>
#include <memory>

#include "OdbcTestDatabases.h"
#include "TestSupport.h"
#include "sources/EnsembleSource.h"
#include "sources/frmEnsembleInterfaces.h"

namespace quillon::test {
namespace {

using platform::MsgIcon;
using Type = EnsembleBusinessType;

TEST(EnsembleQuery, TimeBounds)
{
    EXPECT_EQ(EnsembleTodayBounds(QDate(2024, 3, 5)).start, "2024-03-05 00:00:00");
    EXPECT_EQ(EnsembleTodayBounds(QDate(2024, 3, 5)).end, "2024-03-05 23:59:59");
    EXPECT_EQ(EnsembleTimeBound(QDate(2024, 2, 1), QTime(7, 5, 9)), "2024-02-01 07:05:09");
    EXPECT_EQ(EnsembleTimeBound(QDate(2024, 2, 3), QTime(18, 0, 0)), "2024-02-03 18:00:00");
    EXPECT_EQ(EnsembleTimeBound(QDate(987, 12, 31), QTime(23, 59, 59)), "0987-12-31 23:59:59");
}

TEST(EnsembleQuery, ShownTextAndBoundStatement)
{
    const QString head =
        "SELECT ('X' _ EnsLib_HL7.Message.ID), EnsLib_HL7.Message.RawContent FROM "
        "EnsLib_HL7.Message WHERE EnsLib_HL7.Message.ID IN (SELECT DISTINCT "
        "Ens.MessageHeader.MessageBodyID FROM EnsLib_HL7.Message INNER JOIN Ens.MessageHeader ON "
        "EnsLib_HL7.Message.Id = Ens.MessageHeader.MessageBodyID WHERE (Ens.MessageHeader.";
    const QString source = "SourceConfigName = ";
    const QString target = "TargetConfigName = ";
    const QString tail = ") AND (EnsLib_HL7.Message.Name <> 'ACK'))";
    const EnsembleBounds bounds{"2024-02-01 07:05:09", "2024-02-03 18:00:00"};
    const struct {
        Type type;
        QString name;
        QString column;
    } cases[] = {{Type::Service, "ADT_IN", source},
                 {Type::Process, "P", target},
                 {Type::Operation, "O'Brien Out", target}};  // the name goes in unchanged
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(EnsembleQueryText(c.type, c.name, bounds),
                  head + c.column + "'" + c.name
                      + "') AND (Ens.MessageHeader.TimeCreated BETWEEN '2024-02-01 07:05:09' AND "
                        "'2024-02-03 18:00:00'"
                      + tail);
        EXPECT_EQ(EnsembleQueryStatement(c.type),
                  head + c.column + "?) AND (Ens.MessageHeader.TimeCreated BETWEEN ? AND ?" + tail);
    }
    EXPECT_TRUE(EnsembleQueryText(Type::None, "P", bounds).isEmpty());

    // The flags are tested services first, then operations, then processes.
    EnsembleState state;
    state.EnsembleBusinessServices = false;
    state.EnsembleBusinessProcesses = true;
    state.EnsembleBusinessOperations = true;
    EXPECT_EQ(EnsembleTypeOf(state), Type::Operation);
    state.EnsembleBusinessOperations = state.EnsembleBusinessProcesses = false;
    EXPECT_EQ(EnsembleTypeOf(state), Type::None);
}

TEST(EnsembleQuery, IdAndLongMessageRules)
{
    EXPECT_EQ(EnsembleMessageId("X123"), "123");
    EXPECT_EQ(EnsembleMessageId("123"), "123");
    EXPECT_EQ(EnsembleMessageId("XX7"), "X7");
    EXPECT_EQ(EnsembleMessageId(""), "");
    EXPECT_FALSE(EnsembleMessageCutShort(std::string(9998, 'a')));
    EXPECT_TRUE(EnsembleMessageCutShort(std::string(9999, 'a')));
    EXPECT_EQ(EnsembleLongMessageResult(""), "");
    EXPECT_EQ(EnsembleLongMessageResult("Z"), "");
    EXPECT_EQ(EnsembleLongMessageResult("MS"), "MS");
}

TEST(EnsemblePicker, LoadOptionsAndButtons)
{
    platform::ScriptedResponder responder;
    EnsembleState state;
    state.EnsembleBusinessServices = false;
    state.EnsembleBusinessOperations = true;
    frmEnsembleInterfaces picker(state, responder);
    EXPECT_EQ(picker.windowTitle(), "Select Ensemble Interface");
    EXPECT_TRUE(picker.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(picker.isModal());
    EXPECT_TRUE(state.EnsembleBusinessServices && !state.EnsembleBusinessOperations);
    EXPECT_TRUE(picker.optBusinessServices->isChecked());
    EXPECT_TRUE(picker.optDateTimeRange[1]->isChecked());
    EXPECT_EQ(picker.dateStartTime->time(), QTime(0, 0, 0));
    EXPECT_EQ(picker.dateStartTime->displayFormat(), "H:mm");
    EXPECT_EQ(picker.dateStartDate->date(), QDate::currentDate());

    // A business type chosen before any data source changes only the flags and the options.
    picker.optBusinessProcesses_Click();
    EXPECT_TRUE(state.EnsembleBusinessProcesses && !state.EnsembleBusinessServices
                && !state.EnsembleBusinessOperations);
    EXPECT_TRUE(picker.optBusinessProcesses->isChecked() && !picker.optBusinessServices->isChecked());
    EXPECT_EQ(picker.lstInterfaceName->count(), 0);

    // A date changed under "today" switches to the user range.
    picker.optDateTimeRange[0]->setChecked(true);
    EXPECT_EQ(picker.Bounds(QDate(2024, 3, 5)).end, "2024-03-05 23:59:59");
    picker.dateStopDate->setDate(QDate(2024, 2, 3));
    EXPECT_TRUE(picker.optDateTimeRange[1]->isChecked());
    picker.dateStartDate->setDate(QDate(2024, 2, 1));
    picker.dateStartTime->setTime(QTime(7, 5, 9));
    picker.DateStopTime->setTime(QTime(18, 0, 0));
    EXPECT_EQ(picker.Bounds(QDate(2024, 3, 5)).start, "2024-02-01 07:05:09");
    EXPECT_EQ(picker.Bounds(QDate(2024, 3, 5)).end, "2024-02-03 18:00:00");

    // OK with no interface: the message, and the picker is not done.
    picker.cmdCommand[0]->click();
    ASSERT_EQ(responder.shown().size(), 1u);
    EXPECT_EQ(responder.shown()[0].text, "You have not selected an interface.");
    EXPECT_EQ(responder.shown()[0].title, "No Interface Selected");
    EXPECT_EQ(responder.shown()[0].icon, MsgIcon::Information);
    EXPECT_FALSE(state.EnsemblePickerDone);

    picker.lstInterfaceName->addItem("P1");
    picker.lstInterfaceName->setCurrentRow(0);
    picker.lstInterfaceName_DblClick();
    EXPECT_TRUE(state.EnsemblePickerDone && !state.EnsemblePickerCancelled);
    EXPECT_EQ(picker.InterfaceName(), "P1");
    state.EnsemblePickerDone = false;
    picker.show();
    picker.close();  // closing is Cancel
    EXPECT_TRUE(state.EnsemblePickerDone && state.EnsemblePickerCancelled);
}

}  // namespace
}  // namespace quillon::test
