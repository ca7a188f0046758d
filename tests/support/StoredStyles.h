#pragma once

// Styles and banks put straight into a test database through the gateways, as the program's
// own tables keep them. Header only: for the tests that link the store and the STY engine.
#include "store/DbKORFBank.h"
#include "store/DbKORFStyle.h"
#include "sty/StyleFacts.h"

#include <QtTest>

struct StyleFixture {
    qint32 prog = 1;
    QString name1 = QStringLiteral("STYLE");
    QString name2 = {};
    QByteArray content1 = QByteArrayLiteral("data one");
    QByteArray content2 = QByteArrayLiteral("data two");
    QString desc = {}, group = {}, family = {}, file = {}, author = {};
    QString date = QStringLiteral("2006/05/12");
    // What every import stores with a style: its facts and fingerprints, read from its blocks.
    // Off: a style as another program may have stored it, never read.
    bool facts = true;
    // The reader of the notes' fingerprint from the decoded style block (NoteFingerprint::ofTree,
    // as the import reads it); none leaves the style without one.
    StyleFacts::TreeReader notes = nullptr;
};

inline qint32 addStyle(QSqlDatabase db, const StyleFixture& f) {
    DbKORFStyle style(db);
    style.setStyleProg(f.prog);
    style.setStyleName1(f.name1);
    style.setStyleName2(f.name2);
    style.setStyleLength1(qint32(f.content1.size()));
    style.setStyleLength2(qint32(f.content2.size()));
    style.setStyleContent1(f.content1);
    style.setStyleContent2(f.content2);
    style.setStyleDate(f.date);
    style.setStyleDesc(f.desc);
    style.setStyleCat(f.group);
    style.setStyleFamily(f.family);
    style.setStyleFile(f.file);
    style.setStyleAuthor(f.author);
    if (f.facts)
        style.setFacts(StyleFacts::readWith(f.content1, f.content2, f.notes));
    if (!style.InsKORFStyles())
        qFatal("cannot insert a test style: %s", qPrintable(style.clsKORFStylesError()));
    return f.prog;
}

inline qint32 addBank(QSqlDatabase db, qint32 prog, const QString& name, const QString& desc,
                      const QList<qint32>& slotValues) {
    DbKORFBank bank(db);
    bank.setBankProg(prog);
    bank.setBankName(name);
    bank.setBankDesc(desc);
    for (qsizetype i = 0; i < slotValues.size(); ++i)
        bank.setBankStyle(int(i) + 1, slotValues[i]);
    if (!bank.InsKORFBanks())
        qFatal("cannot insert a test bank: %s", qPrintable(bank.clsKORFBanksError()));
    return prog;
}
