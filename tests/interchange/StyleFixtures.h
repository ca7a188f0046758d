#pragma once

// Styles and banks put straight into a test database through the gateways, and the helpers the
// interchange tests share.
#include "core/Progress.h"
#include "core/SbkError.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFStyle.h"
#include "sty/StyleFacts.h"
#include "TestEnvironment.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

struct StyleFixture {
    qint32 prog = 1;
    QString name1 = "STYLE";
    QString name2;
    QByteArray content1 = QByteArrayLiteral("data one");
    QByteArray content2 = QByteArrayLiteral("data two");
    QString desc, group, family, file, author;
};

inline void addStyle(QSqlDatabase db, const StyleFixture& f) {
    DbKORFStyle style(db);
    style.setStyleProg(f.prog);
    style.setStyleName1(f.name1);
    style.setStyleName2(f.name2);
    style.setStyleLength1(qint32(f.content1.size()));
    style.setStyleLength2(qint32(f.content2.size()));
    style.setStyleContent1(f.content1);
    style.setStyleContent2(f.content2);
    style.setStyleDate("2006/05/12");
    style.setStyleDesc(f.desc);
    style.setStyleCat(f.group);
    style.setStyleFamily(f.family);
    style.setStyleFile(f.file);
    style.setStyleAuthor(f.author);
    // What every import stores with a style: its facts and fingerprints, read from its blocks.
    style.setFacts(StyleFacts::read(f.content1, f.content2));
    QVERIFY2(style.InsKORFStyles(), qPrintable(style.clsKORFStylesError()));
}

inline void addBank(QSqlDatabase db, qint32 prog, const QString& name, const QString& desc,
                    const QList<qint32>& slotValues) {
    DbKORFBank bank(db);
    bank.setBankProg(prog);
    bank.setBankName(name);
    bank.setBankDesc(desc);
    for (qsizetype i = 0; i < slotValues.size(); ++i)
        bank.setBankStyle(int(i) + 1, slotValues[i]);
    QVERIFY2(bank.InsKORFBanks(), qPrintable(bank.clsKORFBanksError()));
}

// Every column of every row of a table in number order, for before/after comparisons.
inline QList<QVariantList> tableRows(QSqlDatabase db, const QString& table) {
    QSqlQuery query(db);
    query.exec(QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(table));
    QList<QVariantList> rows;
    while (query.next()) {
        rows << QVariantList();
        for (int i = 0; i < query.record().count(); ++i)
            rows.last() << query.value(i);
    }
    return rows;
}

inline QList<QVariantList> styles(QSqlDatabase db) {
    return tableRows(db, "KORFStyles");
}

inline QList<QVariantList> banks(QSqlDatabase db) {
    return tableRows(db, "KORFBanks");
}

// A test folder with an empty database open in it.
struct TestDb {
    TestEnvironment env;
    std::unique_ptr<Database> db = (env.createDatabase(), env.openDatabase());
    QSqlDatabase c = db->connection();
};

struct CountingProgress : Progress {
    void begin(qint64 t, const QString&) override { total = t; }
    void step(qint64 done, const QString&) override { steps << done; }
    qint64 total = -1;
    QList<qint64> steps;
};
