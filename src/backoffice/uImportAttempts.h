#pragma once

#include <QString>

// Counts the imports of one update file that were started and never finished, in a mark file
// beside it, so that a file whose import ends the kiosk (a fault, the engine, the power) cannot
// hold it in a crash loop: every start would take the file again. The mark holds the number of
// unfinished attempts; it is replaced whole (written aside and renamed over) and removed once
// the file is applied or refused.
class ImportAttemptMark {
public:
    // Unfinished attempts after which the file is refused instead of tried again: one
    // interruption (a power cut) is retried, two in a row are taken as the file's doing.
    static constexpr int kMaxInterrupted = 2;

    explicit ImportAttemptMark(const QString& updateFile);

    // The mark of an update file: "<file>.attempts", which no pass takes for an update file.
    static QString pathOf(const QString& updateFile);

    // Attempts started and never finished before this one.
    int interrupted() const;
    bool exhausted() const { return interrupted() >= kMaxInterrupted; }
    // Records one more attempt before the import starts; false when the mark cannot be
    // written, in which case the attempt is not counted.
    bool begin();
    // The attempt finished: the file was applied or refused.
    void clear();

    // Removes marks whose update file is gone: the kiosk ended between archiving a file and
    // clearing its mark, and a later file of that name must start with no attempts.
    static void removeOrphans(const QString& importFolder);

private:
    QString path_;
};
