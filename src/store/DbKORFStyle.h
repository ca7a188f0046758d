#pragma once

#include "store/StyleFactsValues.h"

#include <functional>
#include <memory>
#include <optional>
#include <QByteArray>
#include <QList>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QString>
#include <utility>
#include <vector>

class QSqlQuery;
class SqliteStatement;

// Gateway to the table KORFStyles. An instance holds one row's values in properties named after
// the columns; the operations copy between them and the database. Every value is bound as a
// parameter. Ins/Upd/Del/Get never throw: they return false and leave "<number> <description>" in
// clsKORFStylesError ("" after success). NextKORFStyle and GetKORFStylesByContent throw SbkError.
class DbKORFStyle {
public:
    DbKORFStyle() = default;
    explicit DbKORFStyle(QSqlDatabase connection) : m_connection(connection) {}
    // Takes every value of other, keeping this instance's connection and prepared statements.
    void setValues(const DbKORFStyle& other);

    qint32 StyleProg() const { return m_StyleProg; }
    void setStyleProg(qint32 v) { m_StyleProg = v; }
    const QString& StyleName1() const { return m_StyleName1; }
    void setStyleName1(const QString& v) { m_StyleName1 = v; }
    const QString& StyleName2() const { return m_StyleName2; }
    void setStyleName2(const QString& v) { m_StyleName2 = v; }
    qint32 StyleLength1() const { return m_StyleLength1; }
    void setStyleLength1(qint32 v) { m_StyleLength1 = v; }
    qint32 StyleLength2() const { return m_StyleLength2; }
    void setStyleLength2(qint32 v) { m_StyleLength2 = v; }
    const QByteArray& StyleContent1() const { return m_StyleContent1; }
    void setStyleContent1(const QByteArray& v) { m_StyleContent1 = v; }
    const QByteArray& StyleContent2() const { return m_StyleContent2; }
    void setStyleContent2(const QByteArray& v) { m_StyleContent2 = v; }
    const QByteArray& StyleSeek() const { return m_StyleSeek; }
    void setStyleSeek(const QByteArray& v) { m_StyleSeek = v; }
    const QString& StyleDate() const { return m_StyleDate; }
    void setStyleDate(const QString& v) { m_StyleDate = v; }
    const QString& StyleDesc() const { return m_StyleDesc; }
    void setStyleDesc(const QString& v) { m_StyleDesc = v; }
    const QString& StyleCat() const { return m_StyleCat; }
    void setStyleCat(const QString& v) { m_StyleCat = v; }
    const QString& StyleFamily() const { return m_StyleFamily; }
    void setStyleFamily(const QString& v) { m_StyleFamily = v; }
    const QString& StyleFile() const { return m_StyleFile; }
    void setStyleFile(const QString& v) { m_StyleFile = v; }
    const QString& StyleAuthor() const { return m_StyleAuthor; }
    void setStyleAuthor(const QString& v) { m_StyleAuthor = v; }
    // The style facts read from the blocks: the tempo and the meter ("4/4"); absent or "" when
    // unknown (NULL in the table). The insert stores them; the update leaves them, as the blocks.
    std::optional<int> Tempo() const { return m_Tempo; }
    void setTempo(std::optional<int> v) { m_Tempo = v; }
    const QString& Meter() const { return m_Meter; }
    void setMeter(const QString& v) { m_Meter = v; }
    // The fingerprints that find copies of the style (StyleFingerprint); absent when unknown. The
    // insert stores them with the facts, GetKORFStyles reads them.
    const std::optional<qint64>& FingerprintExact() const { return m_FingerprintExact; }
    const std::optional<qint64>& FingerprintRenamed() const { return m_FingerprintRenamed; }
    const std::optional<qint64>& FingerprintSettings() const { return m_FingerprintSettings; }
    // The note fingerprint (NoteVector's stored form); empty when the style has none (NULL).
    const QByteArray& NoteFingerprint() const { return m_NoteFingerprint; }
    void setFacts(const StyleFactsValues& facts) {
        m_Tempo = facts.Tempo;
        m_Meter = facts.Meter;
        m_FingerprintExact = facts.FingerprintExact;
        m_FingerprintRenamed = facts.FingerprintRenamed;
        m_FingerprintSettings = facts.FingerprintSettings;
        m_NoteFingerprint = facts.NoteFingerprint;
    }

    QSqlDatabase ActiveConnection() const { return m_connection; }
    void setActiveConnection(QSqlDatabase connection) {
        m_connection = connection;
        m_statements = StatementCache();
    }
    const QString& clsKORFStylesError() const { return m_error; }

    // Whether the style table has the columns of the style facts and fingerprints (a database of
    // another program may lack them; its styles are then stored without).
    static bool keepsFacts(QSqlDatabase connection);
    // The search key of a first block: its first 250 bytes, one blank when it is empty.
    static QByteArray seekOf(const QByteArray& content1);
    // Whether a length describes its block as stored: the block's size, or 0 for an empty block
    // (stored as one blank).
    static bool lengthFits(qint64 length, const QByteArray& content) {
        return content.size() == length || (length == 0 && (content.isEmpty() || content == " "));
    }

    bool InsKORFStyles();
    // Whether the insert goes through SQLite's own statement (SqliteStatement), which binds the
    // blocks without copying them: for a gateway that a run of many inserts (the import, the
    // restore) destroys before the connection is closed. Copies of an instance insert as usual.
    void setDirectInsert(bool on) { m_statements.direct = on; }
    bool UpdKORFStyles();
    bool DelKORFStyles();
    bool GetKORFStyles();
    bool GetKORFStylesNoContent();
    // All columns of the styles whose StyleName1 equals the property (ignoring case);
    // std::nullopt on a database failure.
    std::optional<QList<QSqlRecord>> GetKORFStylesByName();
    // The lowest number of a stored style with these blocks, -1 when none. Given the blocks' exact
    // fingerprint, the candidates are found by it (a small index) instead of by the search key:
    // for a library where everyStyleFingerprinted holds, which finds the same style.
    qint32 GetKORFStylesByContent(const QByteArray& content1, const QByteArray& content2, qint32 length1,
                                  qint32 length2, std::optional<qint64> exactFingerprint = std::nullopt);
    // True when every stored style has its exact fingerprint (false for a table without the column).
    static bool everyStyleFingerprinted(QSqlDatabase connection);
    // The exact fingerprints of the stored styles in ascending order; none for a table without
    // the column.
    static std::vector<qint64> exactFingerprints(QSqlDatabase connection);
    qint32 NextKORFStyle();

private:
    // The statements an import runs for every style, prepared once per instance: preparing them
    // anew for each style cost more than storing the style. Copies of an instance prepare their own.
    struct StatementCache {
        std::shared_ptr<QSqlQuery> insert;
        std::shared_ptr<QSqlQuery> byContent;
        std::shared_ptr<QSqlQuery> byFingerprint;
        std::shared_ptr<QSqlQuery> next;
        std::shared_ptr<SqliteStatement> directInsert;
        std::optional<bool> keepsFacts;
        bool direct = false;
        StatementCache() = default;
        StatementCache(const StatementCache&) {}
        StatementCache& operator=(const StatementCache&) {
            insert.reset();
            byContent.reset();
            byFingerprint.reset();
            next.reset();
            directInsert.reset();
            keepsFacts.reset();
            direct = false;
            return *this;
        }
        void swap(StatementCache& other) {
            std::swap(insert, other.insert);
            std::swap(byContent, other.byContent);
            std::swap(byFingerprint, other.byFingerprint);
            std::swap(next, other.next);
            std::swap(directInsert, other.directInsert);
            std::swap(keepsFacts, other.keepsFacts);
            std::swap(direct, other.direct);
        }
    };

    bool fail(const QString& text);
    bool insertDirect(const std::function<QString()>& sql, bool withFacts);
    void readDescriptive(const QSqlRecord& row);
    // The cached statement, prepared on first use; nullptr when the database refuses it.
    QSqlQuery* prepared(std::shared_ptr<QSqlQuery>& slot, const QString& sql);

    qint32 m_StyleProg = 0;
    QString m_StyleName1;
    QString m_StyleName2;
    qint32 m_StyleLength1 = 0;
    qint32 m_StyleLength2 = 0;
    QByteArray m_StyleContent1;
    QByteArray m_StyleContent2;
    QByteArray m_StyleSeek;
    QString m_StyleDate;
    QString m_StyleDesc;
    QString m_StyleCat;
    QString m_StyleFamily;
    QString m_StyleFile;
    QString m_StyleAuthor;
    std::optional<int> m_Tempo;
    QString m_Meter;
    std::optional<qint64> m_FingerprintExact;
    std::optional<qint64> m_FingerprintRenamed;
    std::optional<qint64> m_FingerprintSettings;
    QByteArray m_NoteFingerprint;
    QSqlDatabase m_connection;
    QString m_error;
    StatementCache m_statements;
};
