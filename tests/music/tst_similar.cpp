// Styles that sound alike: the note fingerprint of what a style plays, kept by every way of storing
// a style and by the upgrade of an older library, the search for the most similar styles (in the
// engine and through sbk-cli) and the copies of the same notes among the duplicates.
#include "banks/DuplicateStyles.h"
#include "CliRunner.h"
#include "core/Progress.h"
#include "core/SbkError.h"
#include "music/NoteFingerprint.h"
#include "music/SimilarStyles.h"
#include "music/StyleNoteScan.h"
#include "MusicTestData.h"
#include "store/Database.h"
#include "store/DbKORFStyle.h"
#include "store/KORFStyles.h"
#include "sty/BlockTree.h"
#include "sty/KORFLibrary.h"
#include "sty/StyleFacts.h"
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

// The styles of the instrument-saved STY files (SBK_REAL_STY), each with the set it comes from
// ("pa600/x.SET"); empty when the folder is not there.
QList<std::pair<QString, KORFStylePtr>> realStyles() {
    QList<std::pair<QString, KORFStylePtr>> all;
    const QString folder = qEnvironmentVariable("SBK_REAL_STY");
    if (folder.isEmpty() || !QDir(folder).exists())
        return all;
    QDirIterator it(folder, {u"*.STY"_s}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        KORFStyles styles;
        KORFLibrary().FillCollectionFromStyle(file, styles);
        for (const KORFStylePtr& style : styles)
            all.append({QDir(folder).relativeFilePath(file).section(u'/', 0, 1), style});
    }
    return all;
}

// Whether the scan of the style block counts what the music model counts, and gives the same
// fingerprint; std::nullopt (with nothing compared) when the model cannot read the music.
std::optional<bool> scanAgrees(const QByteArray& block) {
    StyleMusic music;
    try {
        BlockTree tree(block, StyleFacts::StyleBlockType, u"the style"_s);
        music = StyleMusicReader::readTree(tree);
    } catch (const SbkError&) {
        return std::nullopt;
    }
    BlockTree tree(block, StyleFacts::StyleBlockType, u"the style"_s);
    BlockTree again(block, StyleFacts::StyleBlockType, u"the style"_s);
    return StyleNoteScan::countsOf(tree) == NoteFingerprint::countsOf(music) &&
           NoteFingerprint::ofTree(again) == NoteFingerprint::of(music);
}

QByteArray fingerprintOf(const QByteArray& block) {
    BlockTree tree(block, StyleFacts::StyleBlockType, u"the style"_s);
    return NoteFingerprint::ofTree(tree);
}

// Roles told by the sounds and the sequences' types: a drum track playing a piano, a kit on an
// accompaniment track, a bass sequence on Acc2 and an accompaniment on Bass; tracks started late
// (their notes cut at the end), a note on at the very end, notes of velocity 0, other meters.
StyleBlocks::Music everyRole() {
    StyleBlocks::Music music;
    music.name = "Roles";
    StyleBlocks::Element& var1 = music.elements[0];
    var1.sounds[0] = {121, 0, 0};
    var1.sounds[5] = {120, 0, 16};
    QList<StyleBlocks::Event> offbeat = StyleBlocks::notes(200, 384, 7, 62, 0);
    offbeat << StyleBlocks::notes(190, 384, 7, 67) << StyleBlocks::Event{3072, 0x90, 69, 80};
    var1.variations = {{3072,
                        {{0, StyleBlocks::notes(0, 192, 16, 48)},
                         {1, StyleBlocks::notes(0, 96, 32, 42, 100, 48), 0, 1000},
                         {2, StyleBlocks::notes(0, 384, 8, 45), 2},
                         {4, StyleBlocks::notes(10, 384, 8, 43), 1},
                         {5, StyleBlocks::notes(0, 768, 4, 38), -1, 384},
                         {6, offbeat}},
                        {}},
                       {3072, {{0, StyleBlocks::notes(0, 384, 8, 36)}}, {}}};
    music.elements[2].signature = 0x33; // 6/8
    music.elements[2].variations = {{2304, {{7, StyleBlocks::notes(100, 288, 7, 71)}}, {}}};
    return music;
}

} // namespace

class TestSimilar : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The scan of a style block counts the notes the music model counts, cell by cell: in styles of
    // every role, transposed, retouched, silent in Var1 to Var4 or empty, and in the instrument-saved
    // styles. Damage where no counted note lies leaves the fingerprint of the notes that can be
    // read; damage in a counted note leaves none.
    void scanCountsWhatTheModelCounts() {
        const StyleBlocks::Music samba = MusicTestData::samba();
        StyleBlocks::Music fillsOnly = samba;
        fillsOnly.name = "Fills only";
        for (int e = 0; e < 4; ++e)
            fillsOnly.elements[e] = StyleBlocks::Element();
        for (const StyleBlocks::Music& music :
             {samba, transposed(samba, 7), retouched(samba), fillsOnly, everyRole(),
              transposed(everyRole(), 3), StyleBlocks::Music()})
            for (const QByteArray& block : {StyleBlocks::musicBlock(music),
                                            StyleBlocks::chunk(0x06000008, StyleBlocks::musicTree(music))})
                QVERIFY2(scanAgrees(block).value_or(false), music.name.constData());
        QVERIFY(fingerprintOf(StyleBlocks::musicBlock(StyleBlocks::Music())).isEmpty());
        for (const auto& [set, style] : realStyles()) {
            const StyleFacts::Blocks blocks =
                StyleFacts::blocksOf(style->StyleContent1(), style->StyleContent2());
            QVERIFY2(blocks.style && scanAgrees(*blocks.style).value_or(false), qPrintable(set));
        }

        // Fill1 alone plays key 77, Var1's bass alone key 40: each note's type byte made unknown.
        StyleBlocks::Music marked = samba;
        marked.elements[6].variations[1].tracks[0].events = StyleBlocks::notes(0, 192, 8, 77);
        const QByteArray tree = StyleBlocks::musicTree(marked);
        const QByteArray fingerprint = fingerprintOf(StyleBlocks::chunk(0x06000008, tree));
        QCOMPARE(fingerprint, fingerprintOf(StyleBlocks::musicBlock(samba)));
        for (const char key : {77, 40}) {
            QByteArray damaged = tree;
            damaged[damaged.indexOf(QByteArray("\x01") + key + char(0x80 | 100))] = 0x0b;
            const QByteArray block = StyleBlocks::chunk(0x06000008, damaged);
            QVERIFY_THROWS_EXCEPTION(SbkError, MusicTestData::read(block));
            QCOMPARE(fingerprintOf(block), key == 77 ? fingerprint : QByteArray());
        }
        // A pool's index table that announces a reference more than it holds: no fingerprint.
        QByteArray unindexed = tree;
        unindexed[unindexed.indexOf(QByteArray("\x01\x00\x00\x08", 4)) + 11] += 1;
        const QByteArray block = StyleBlocks::chunk(0x06000008, unindexed);
        QVERIFY(errorOf([&] {
                    MusicTestData::read(block);
                }).contains(u"announces 101 references in 204 bytes"_s));
        QVERIFY(fingerprintOf(block).isEmpty());
    }

    // The instrument's four maqsum styles (one plain, three with a controller, pressure or bend
    // added) are each other's nearest among all the instrument-saved styles.
    void realTwinsFindEachOtherFirst() {
        const QList<std::pair<QString, KORFStylePtr>> styles = realStyles();
        if (styles.isEmpty())
            QSKIP("the folder of instrument-saved STY files is not available");
        TestEnvironment env;
        const std::unique_ptr<Database> db = (env.createDatabase(), env.openDatabase());
        QHash<QString, qint32> maqsum;
        qint32 prog = 0;
        for (const auto& [set, style] : styles) {
            store(db->connection(), ++prog, set, style->StyleContent1(), style->StyleContent2());
            if (set.startsWith(u"pa700oriental/maqsum_custom_drum_kit"_s))
                maqsum.insert(set, prog);
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
