#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class QLocalSocket;
class SBKModule;

// One SBK per user and database. A later "sbk FILE..." on the same database hands its files to the
// SBK that runs there, through a local socket only this user reaches (in the user's runtime
// folder), and ends; that one raises its window and opens them (PendingFiles). A message is the
// frame "SBK1", the length of the rest (4 bytes, big-endian, at most MaxMessage) and the absolute
// paths in UTF-8, each ended by a zero byte; the answer is one byte, Taken.
class RunningInstance : public QObject {
    Q_OBJECT
public:
    enum class HandOver { Taken, NoneRuns, NoAnswer };
    static constexpr qint64 MaxMessage = 4 * 1024 * 1024;
    static constexpr char Taken = '\x06';

    // The socket's name for databasePath: the same for every spelling of the file's path.
    static QString serverName(const QString& databasePath);
    // Hands files (absolute paths; none only raises the window) to the SBK that runs on
    // databasePath. NoAnswer: one runs there but did not take them within timeoutMs.
    static HandOver handOver(const QString& databasePath, const QStringList& files, int timeoutMs = 5000);

    // Takes the hand-overs for module's database, and follows it when the parameters change it.
    explicit RunningInstance(const SBKModule& module, QObject* parent = nullptr);
    // The database whose hand-overs this takes; "" when its socket could not be made (SBK runs on
    // alone then, and a later start opens a second one).
    QString database() const { return m_server.isListening() ? m_database : QString(); }

Q_SIGNALS:
    void filesHandedOver(const QStringList& files);

private:
    void follow();
    bool listen(const QString& databasePath);
    void take(QLocalSocket* socket);

    const SBKModule& m_module;
    QLocalServer m_server;
    QString m_database;
    QTimer m_follow;
};
