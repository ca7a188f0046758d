#pragma once

#include "sty/DriveInfo.h"
#include "sty/StyMaker.h"

#include <array>
#include <QDialog>

class Prompt;
class QComboBox;
class QRadioButton;
class SBKModule;

// Writes the working bank (a stored bank without changes) as an STY file to one of fifteen
// destinations: a chosen file, the floppy's root under the bank's name or as USER01.STY, the
// floppy's set folder for direct loading, or a user style file in a set folder of the instrument's
// disk (only when that disk is configured). The floppy and the instrument's disk are folders, the
// mount points of the disks. The directory layout is chosen from the bank's styles unless the user
// picks one; the user bank byte is the destination's.
//
// The dialog closes after a file was made and after the free-space message; it stays open after a
// cancelled save dialog, a disk that is not ready, a No to the wipe question, or a failure, whose
// message names the path and the reason.
class frmMakeBank : public QDialog {
    Q_OBJECT
public:
    frmMakeBank(SBKModule& module, Prompt& prompt, QWidget* parent = nullptr);

    // What the dialog knows of the disks; tests play absent, full and removable disks with it.
    void setDriveInfo(DriveInfo& drives) { m_drives = &drives; }
    // The index of the selected destination.
    int selectedIndex() const;
    void cmdMake_Click();
    // The last make's result (Cancelled before any).
    StyMaker::Result lastResult() const { return m_lastResult; }

private:
    SBKModule& m_module;
    Prompt& m_prompt;
    DriveInfo m_systemDrives;
    DriveInfo* m_drives = &m_systemDrives;
    std::array<QRadioButton*, StyMaker::DestinationCount> m_optSave{};
    QComboBox* m_cbLayout;
    StyMaker::Result m_lastResult = StyMaker::Result::Cancelled;
};
