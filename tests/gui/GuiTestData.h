#pragma once

// Small helpers shared by the window tests: a connected SBKModule on a fresh database, styles
// and banks written straight through the gateways, and the styles window's grid and bank.

#include "gui/banks/BankPrinter.h"
#include "gui/banks/frmStyles.h"
#include "gui/banks/StyleGridModel.h"
#include "ScriptedPrompt.h"
#include "session/SBKModule.h"
#include "store/Database.h"
#include "StoredStyles.h"
#include "TestEnvironment.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPrinter>
#include <QSqlQuery>
#include <QString>
#include <QTableView>
#include <QtTest>

namespace guitest {

inline void connectTo(SBKModule& module, const QString& path) {
    module.DatabasePath = path;
    module.ConnectDatabase();
}

// A style stored as the import stores it: its blocks with their facts and fingerprints.
inline qint32 addBlocks(SBKModule& module, const QString& name, const QByteArray& style,
                        const QByteArray& performance, const QString& date = QString(),
                        const QString& group = QString()) {
    return addStyle(module.connection(), {.prog = DbKORFStyle(module.connection()).NextKORFStyle(),
                                          .name1 = name, .content1 = style, .content2 = performance,
                                          .group = group, .date = date});
}

// A style of four bytes, "data", as another program may store one, never read.
inline qint32 addStyle(SBKModule& module, const QString& name, const QString& desc = QString(),
                       const QString& family = QString(), const QString& group = QString()) {
    return addStyle(module.connection(), {.prog = DbKORFStyle(module.connection()).NextKORFStyle(),
                                          .name1 = name, .content1 = "data", .content2 = {}, .desc = desc,
                                          .group = group, .family = family, .date = {}, .facts = false});
}

// Styles "S001".."Snnn" with descriptions "D<n>".
inline void addStyles(SBKModule& module, int count) {
    QSqlDatabase db = module.connection();
    db.transaction();
    for (int i = 1; i <= count; ++i)
        addStyle(module, QStringLiteral("S%1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("D%1").arg(i));
    db.commit();
}

// One test's world: its own settings and database, connected, with "S001".."Snnn" in it.
struct Fixture {
    TestEnvironment env;
    SBKModule module;
    ScriptedPrompt prompt;
    explicit Fixture(int styles = 0) {
        connectTo(module, env.createDatabase());
        addStyles(module, styles);
    }
};

// Scripts Yes (1) and No (0) answers in order.
inline void answerYesNo(ScriptedPrompt& prompt, const QList<int>& answers) {
    for (int a : answers)
        prompt.answer(a ? Prompt::Answer::Yes : Prompt::Answer::No);
}

// A bank under the number given (0: the next free one).
inline qint32 addBank(SBKModule& module, const QString& name, const QList<qint32>& slotValues,
                      const QString& desc, qint32 prog = 0) {
    return addBank(module.connection(), prog ? prog : DbKORFBank(module.connection()).NextKORFBank(), name,
                   desc, slotValues);
}

inline qint32 addBank(SBKModule& module, const QString& name, const QList<qint32>& slotValues) {
    return addBank(module, name, slotValues, name + QStringLiteral(" description"));
}

inline int countRows(SBKModule& module, const QString& table) {
    QSqlQuery query(module.connection());
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM ") + table) || !query.next())
        return -1;
    return query.value(0).toInt();
}

template <typename T> T* child(QObject* parent, const QString& name) {
    T* found = parent->findChild<T*>(name);
    if (!found)
        qFatal("no child %s", qPrintable(name));
    return found;
}

// The text field txtField_<i> of a window.
inline QLineEdit* field(QObject* window, int i) {
    return child<QLineEdit>(window, QStringLiteral("txtField_%1").arg(i));
}

inline void click(QObject* parent, const QString& name) {
    QTest::mouseClick(child<QAbstractButton>(parent, name), Qt::LeftButton);
}

// Selects grid rows first..last with the current row on the last, as a drag from first does.
inline void selectRows(frmStyles& window, int first, int last) {
    QItemSelectionModel* selection = window.grid()->selectionModel();
    selection->setCurrentIndex(window.gridModel()->index(last, 1), QItemSelectionModel::NoUpdate);
    selection->select(QItemSelection(window.gridModel()->index(first, 0), window.gridModel()->index(last, 4)),
                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// The names the grid shows, top to bottom, joined by commas.
inline QString gridNames(frmStyles& window) {
    QStringList list;
    for (int r = 0; r < window.gridModel()->rowCount(); ++r)
        list << window.gridModel()->text(r, 1);
    return list.join(QLatin1Char(','));
}

inline QColor headerColour(frmStyles& window, int column) {
    return window.gridModel()->headerData(column, Qt::Horizontal, Qt::BackgroundRole).value<QColor>();
}

// Loads a stored bank into the window's working bank, as the bank dialog does.
inline void showStoredBank(frmStyles& window, SBKModule& module, qint32 bank) {
    module.BankTable->setBankProg(bank);
    QVERIFY(module.BankTable->GetKORFBanks());
    window.showStoredBank();
}

// The printer the program is given while it lives: a PDF printer writing to path, or none while
// *available is false (as on a machine without printers).
class PdfPrinterStandIn {
public:
    PdfPrinterStandIn(const QString& path, const bool* available)
        : m_factory([path, available]() -> std::unique_ptr<QPrinter> {
              if (!*available)
                  return nullptr;
              auto printer = std::make_unique<QPrinter>();
              printer->setOutputFormat(QPrinter::PdfFormat);
              printer->setOutputFileName(path);
              return printer;
          }) {}

private:
    BankPrinter::ScopedFactory m_factory;
};

} // namespace guitest
