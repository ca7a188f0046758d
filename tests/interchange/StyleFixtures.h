#pragma once

// Styles and banks put straight into a test database through the gateways, and the helpers the
// interchange tests share.
#include "core/Progress.h"
#include "core/SbkError.h"
#include "store/Database.h"
#include "StoredStyles.h"
#include "TestEnvironment.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

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
