// Styles that sound alike: the note fingerprint of what a style plays, kept by every way of storing
// a style and by the upgrade of an older library, the search for the most similar styles (in the
// engine and through sbk-cli) and the copies of the same notes among the duplicates.
#include "banks/DuplicateStyles.h"
#include "CliRunner.h"
#include "core/Progress.h"
#include "music/NoteFingerprint.h"
#include "music/SimilarStyles.h"
#include "MusicTestData.h"
#include "store/Database.h"
#include "store/DbKORFStyle.h"
#include "store/KORFStyles.h"
#include "sty/KORFLibrary.h"
#include "TestEnvironment.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

qint32 store(QSqlDatabase db, qint32 prog, const QString& name, const QByteArray& first,
             const QByteArray& second) {
    DbKORFStyle style(db);
    style.setStyleProg(prog);
    style.setStyleName1(name.left(28));
    style.setStyleDesc(name);
    style.setStyleLength1(qint32(first.size()));
    style.setStyleLength2(qint32(second.size()));
    style.setStyleContent1(first);
    style.setStyleContent2(second);
    style.setFacts(NoteFingerprint::readFacts(first, second));
    if (!style.InsKORFStyles())
        qFatal("cannot store %s: %s", qPrintable(name), qPrintable(style.clsKORFStylesError()));
    return prog;
}

qint32 store(QSqlDatabase db, qint32 prog, const StyleBlocks::Music& music, int tempo) {
    return store(db, prog, QString::fromLatin1(music.name), StyleBlocks::musicBlock(music),
                 StyleBlocks::performanceBlock(tempo));
}

// Every note of the tracks that play no drum kit moved by semitones.
StyleBlocks::Music transposed(StyleBlocks::Music music, int semitones) {
    for (StyleBlocks::Element& element : music.elements)
        for (StyleBlocks::Variation& variation : element.variations)
            for (StyleBlocks::Track& track : variation.tracks)
                if (element.sounds[size_t(track.track)].bankMsb != 120)
                    for (StyleBlocks::Event& event : track.events)
                        if (event.status == 0x90 || event.status == 0x80)
                            event.data1 = quint8(event.data1 + semitones);
    return music;
}

// The same notes with the controllers, pressure and bend left out, a pedal added and other sounds.
StyleBlocks::Music retouched(StyleBlocks::Music music) {
    for (StyleBlocks::Element& element : music.elements) {
        element.sounds[3].program = 30;
        for (StyleBlocks::Variation& variation : element.variations)
            for (StyleBlocks::Track& track : variation.tracks) {
                track.events.removeIf(
                    [](const StyleBlocks::Event& e) { return e.status != 0x90 && e.status != 0x80; });
                track.events.prepend({0, 0xB0, 11, 90});
            }
    }
    return music;
}

QList<qint32> progsOf(const QList<SimilarStyles::Match>& matches) {
    QList<qint32> progs;
    for (const SimilarStyles::Match& match : matches)
        progs << match.prog;
    return progs;
}

struct CountingProgress : Progress {
    QStringList labels;
    qint64 last = 0;
    void begin(qint64, const QString& label) override { labels << label; }
    void step(qint64 done, const QString&) override { last = done; }
    void end() override {}
    bool cancelled() const override { return false; }
};

// 1 a pattern, 2 another groove, 3 the same notes retouched (other controllers, sounds, tempo and
// name), 4 the pattern transposed by a fourth, 5 a style without notes.
void storeLibrary(QSqlDatabase c) {
    StyleBlocks::Music samba = MusicTestData::samba();
    store(c, 1, samba, 96);
    StyleBlocks::Music other = samba;
    other.name = "Other";
    other.elements[0].variations =
        QList<StyleBlocks::Variation>(6, {3072, {{0, StyleBlocks::notes(96, 192, 15, 42)}}, {}});
    store(c, 2, other, 96);
    StyleBlocks::Music copy = retouched(samba);
    copy.name = "Samba II";
    store(c, 3, copy, 120);
    StyleBlocks::Music up = transposed(samba, 5);
    up.name = "Samba in F";
    store(c, 4, up, 96);
    StyleBlocks::Music empty;
    empty.name = "Empty";
    store(c, 5, empty, 96);
}

} // namespace

class TestSimilar : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The instrument's four maqsum styles (one plain, three with a controller, pressure or bend
    // added) are each other's nearest among all the instrument-saved styles.
    void realTwinsFindEachOtherFirst() {
        const QString folder = qEnvironmentVariable("SBK_REAL_STY");
        if (folder.isEmpty() || !QDir(folder).exists())
            QSKIP("the folder of instrument-saved STY files is not available");
        TestEnvironment env;
        const std::unique_ptr<Database> db = (env.createDatabase(), env.openDatabase());
        QHash<QString, qint32> maqsum;
        qint32 prog = 0;
        QDirIterator it(folder, {u"*.STY"_s}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const QString set = QDir(folder).relativeFilePath(file).section(u'/', 0, 1);
            KORFLibrary library;
            KORFStyles styles;
            library.FillCollectionFromStyle(file, styles);
            for (const KORFStylePtr& style : styles) {
                store(db->connection(), ++prog, set, style->StyleContent1(), style->StyleContent2());
                if (set.startsWith(u"pa700oriental/maqsum_custom_drum_kit"_s))
                    maqsum.insert(set, prog);
            }
        }
        QCOMPARE(maqsum.size(), 4);
        const SimilarStyles library(db->connection());
        for (auto at = maqsum.cbegin(); at != maqsum.cend(); ++at) {
            const QList<SimilarStyles::Match> nearest = library.nearest(at.value(), 3).value();
            QList<qint32> others = maqsum.values();
            others.removeOne(at.value());
            QList<qint32> found = progsOf(nearest);
            std::sort(others.begin(), others.end());
            std::sort(found.begin(), found.end());
            QCOMPARE(found, others);
            QVERIFY2(nearest.last().similarity >= 95, qPrintable(at.key()));
        }
    }

    // The engine and sbk-cli rank the styles of storeLibrary.
    void copiesFindTheirOriginal() {
        TestEnvironment env;
        const QString path = env.createDatabase();
        {
            const std::unique_ptr<Database> db = env.openDatabase();
            const QSqlDatabase c = db->connection();
            storeLibrary(c);
            QCOMPARE(queryRows(c, u"SELECT StyleProg FROM KORFStyles WHERE NoteFingerprint IS NULL"_s),
                     QStringList{u"5"_s});

            const SimilarStyles library(c);
            QCOMPARE(library.count(), 4);
            QVERIFY(!library.nearest(5, 10));
            const QList<SimilarStyles::Match> ofCopy = library.nearest(3, 10).value();
            QCOMPARE(progsOf(ofCopy).first(), 1);
            QVERIFY(ofCopy.first().similarity >= 95);
            const QList<SimilarStyles::Match> ofUp = library.nearest(4, 10).value();
            QCOMPARE(progsOf(ofUp).mid(0, 2), (QList<qint32>{1, 3}));
            QVERIFY(ofUp.first().similarity >= 90);
            QCOMPARE(progsOf(ofUp).last(), 2);
            QVERIFY(!progsOf(library.nearest(1, 10).value()).contains(5));
            // The filter's measure in SQL is the engine's.
            QCOMPARE(
                queryRows(
                    c, u"SELECT SBKSIMILAR(a.NoteFingerprint, b.NoteFingerprint) FROM KORFStyles a, "
                       "KORFStyles b WHERE a.StyleProg = 4 AND b.StyleProg IN (1, 5) ORDER BY b.StyleProg"_s),
                (QStringList{QString::number(ofUp.first().similarity), QString()}));
        }

        const CliResult json =
            runCli(env, {u"--db"_s, path, u"similar"_s, u"4"_s, u"--top"_s, u"2"_s, u"--json"_s});
        QCOMPARE(json.exitCode, 0);
        const QJsonArray list = QJsonDocument::fromJson(json.out).array();
        QCOMPARE(list.size(), 2);
        QCOMPARE(list.at(0).toObject().value(u"StyleProg"_s).toInt(), 1);
        QCOMPARE(list.at(0).toObject().value(u"StyleTempo"_s).toInt(), 96);
        QCOMPARE(list.at(0).toObject().value(u"StyleMeter"_s).toString(), u"4/4"_s);
        QCOMPARE(list.at(1).toObject().value(u"StyleName1"_s).toString(), u"Samba II"_s);
        QVERIFY(list.at(1).toObject().value(u"Similarity"_s).toInt() >= 90);
        const CliResult table = runCli(env, {u"--db"_s, path, u"similar"_s, u"1"_s});
        QCOMPARE(table.exitCode, 0);
        QCOMPARE(table.out.count('\n'), 4); // a heading and the three styles with notes
        QVERIFY(table.out.contains("Samba in F"));
        const CliResult none = runCli(env, {u"--db"_s, path, u"similar"_s, u"5"_s, u"--json"_s});
        QCOMPARE(none.exitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(none.out).array().size(), 0);
        QVERIFY(none.err.contains("has no notes to compare"));
        QVERIFY(runCli(env, {u"--db"_s, path, u"similar"_s, u"9"_s}).exitCode != 0);
    }

    // A library of version 4 gets the note fingerprints of its styles, with progress; the three
    // styles of the same notes are then one group of copies, merged as the other kinds are.
    void upgradeFillsAndSameNotesMerge() {
        TestEnvironment env;
        const QString path = env.createDatabase();
        storeLibrary(env.openDatabase()->connection());
        runSql(path, {u"DROP INDEX KORFStyles_NoteFingerprint"_s,
                      u"ALTER TABLE KORFStyles DROP COLUMN NoteFingerprint"_s, u"PRAGMA user_version = 4"_s});
        CountingProgress progress;
        Database db(path, {&NoteFingerprint::readFacts, &progress});
        QCOMPARE(progress.labels, QStringList{u"Reading the notes of the stored styles"_s});
        QCOMPARE(progress.last, 5);
        QCOMPARE(
            queryRows(db.connection(), u"SELECT StyleProg FROM KORFStyles WHERE NoteFingerprint IS NULL"_s),
            QStringList{u"5"_s});
        QCOMPARE(progsOf(SimilarStyles(db.connection()).nearest(4, 1).value()), QList<qint32>{1});

        const QList<DuplicateStyles::Group> groups =
            DuplicateStyles::find(db.connection(), DuplicateStyles::kinds());
        QCOMPARE(groups.size(), 1);
        QCOMPARE(groups.first().kind, DuplicateStyles::Kind::Notes);
        QCOMPARE(groups.first().styles.size(), 3);
        QVERIFY(DuplicateStyles::differences(groups.first()).contains(u"sounds, controllers or key"_s));
        const auto result = DuplicateStyles::merge(
            db.connection(), DuplicateStyles::plan(groups, DuplicateStyles::KeepRule::Oldest));
        QCOMPARE(result.deleted, 2);
        QCOMPARE(queryRows(db.connection(), u"SELECT StyleProg FROM KORFStyles ORDER BY StyleProg"_s),
                 (QStringList{u"1"_s, u"2"_s, u"5"_s}));
        const CliResult listed = runCli(env, {u"--db"_s, path, u"duplicates"_s, u"--kind"_s, u"notes"_s});
        QCOMPARE(listed.exitCode, 0);
    }
};

QTEST_GUILESS_MAIN(TestSimilar)
#include "tst_similar.moc"
