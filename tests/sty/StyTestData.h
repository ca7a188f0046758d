#pragma once

// Builders of STY files and style lists for the tests of the STY area.

#include "core/SbkError.h"
#include "store/Database.h"
#include "store/KORFStyles.h"
#include "sty/KORFBytes.h"
#include "sty/KORFLibrary.h"
#include "sty/StyImport.h"
#include "TestEnvironment.h"

#include <memory>

#include <QByteArray>
#include <QList>

namespace StyTestData {

inline QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

// A complete style block: a 4-byte chunk ID, the body length and a body of bodySize bytes whose
// values depend on seed, so that blocks of different seeds differ.
inline QByteArray block(int bodySize, int seed, const QByteArray& chunkId = hex("06000030")) {
    QByteArray bytes = chunkId + KORFBytes::LongToBytes(bodySize);
    for (int i = 0; i < bodySize; ++i)
        bytes.append(char((i * 7 + seed * 31) & 0xFF));
    return bytes;
}

inline void addStyle(KORFStyles& styles, const QString& name1, const QByteArray& block1,
                     const QString& name2 = QString(), const QByteArray& block2 = QByteArray()) {
    styles.Add(styles.Count() + 1, name1, name2, qint32(block1.size()), qint32(block2.size()), block1,
               block2);
}

// A bank file of count styles "Style 1", "Style 2"...; variant changes the blocks so that files
// differ. Second blocks carry data version 1.0 in their chunk ID, as the instrument writes them.
inline QByteArray bankFile(int count, int variant = 0, bool secondBlocks = true) {
    KORFStyles styles;
    for (int i = 0; i < count; ++i)
        addStyle(styles, QStringLiteral("Style %1").arg(i + 1), block(40 + i, i + 10 * variant),
                 secondBlocks ? QStringLiteral("Perf %1").arg(i + 1) : QString(),
                 secondBlocks ? block(20 + i, 100 + i + 10 * variant, hex("09010030")) : QByteArray());
    return KORFLibrary::encodeCollection(styles);
}

// Writing in the newer layout with the given bank byte, at 07:08:09 on the day, for system
// "Z112A STD v1.3.1".
inline KORFLibrary::WriteOptions newerOptions(int userBank, const QDate& day = QDate(2024, 5, 6)) {
    return {KORFLibrary::Layout::Newer, userBank, QDateTime(day, QTime(7, 8, 9)), "Z112A STD v1.3.1"};
}

// One directory record of a hand-built file.
struct Record {
    QByteArray name;
    quint8 type;
    quint8 position;
};

// A KORF file built by hand from directory records and their blocks (in the same order), with a
// correct index chunk: lets tests make layouts the writer never makes (gaps, odd block types).
inline QByteArray rawSty(const QList<Record>& records, const QList<QByteArray>& blocks) {
    QByteArray directory, body, offsets;
    for (const Record& r : records)
        directory += (r.name + QByteArray(16, '\0')).left(16) + hex("0000") + char(r.type) + char(17) +
                     char(r.position) + QByteArray(3, '\0');
    for (const QByteArray& b : blocks) {
        offsets += KORFBytes::LongToBytes(36 + directory.size() + body.size());
        body += b;
    }
    const QByteArray file =
        hex("020000180000000c0b0000000000004b4f52460005000018") + KORFBytes::LongToBytes(directory.size()) +
        directory + body + hex("fe000018") + KORFBytes::LongToBytes(16 + offsets.size()) + "KBEG" +
        KORFBytes::LongToBytes(28) + offsets + "KEND" + KORFBytes::LongToBytes(blocks.size() + 1);
    return hex("01000114") + KORFBytes::LongToBytes(file.size()) + file;
}

// A fresh database with an import engine on it.
struct ImportFixture {
    TestEnvironment env;
    std::unique_ptr<Database> db = (env.createDatabase(), env.openDatabase());
    StyImport import{db->connection()};
    // The blocks these tests build carry no tempo or meter, so the import here reads none (and logs
    // none).
    ImportFixture() { import.setFactsReader({}); }

    QString run(const QString& name, bool folder = false, const QString& group = QString()) {
        return import.run(env.path(name), folder, QString(), group, QString());
    }
    QStringList rows(const QString& sql) const { return queryRows(db->connection(), sql); }
    QStringList bankSlots() const {
        return rows("SELECT BankStyle01, BankStyle02, BankStyle03, BankStyle04 FROM KORFBanks");
    }
    // The numbers of stored styles and banks.
    QString counts() const {
        return rows("SELECT (SELECT COUNT(*) FROM KORFStyles), (SELECT COUNT(*) FROM KORFBanks)").first();
    }
};

} // namespace StyTestData
