#pragma once

#include <QString>

// Every built-in command text of the program, written once. Command texts are byte values as
// two-digit hexadecimal numbers separated by blanks; "_" is the value placeholder filled at send
// time, and "-" the minor channel of the LG ATSC template.
namespace vantiro::catalogue {

// LG: two letters, set ID 01, data, carriage return.
inline const QString lgPowerOn = QStringLiteral("6B 61 20 30 31 20 30 31 0D"); // ka 01 01
inline const QString lgPowerOff = QStringLiteral("6B 61 20 30 31 20 30 30 0D"); // ka 01 00
inline const QString lgInputSelect = QStringLiteral("6B 62 20 30 31 20 30 _ 0D"); // kb 01 0_
inline const QString lgAspectRatio = QStringLiteral("6B 63 20 30 31 20 30 _ 0D"); // kc 01 0_
inline const QString lgScreenMuteOn = QStringLiteral("6B 64 20 30 31 20 30 31 0D"); // kd 01 01
inline const QString lgScreenMuteOff = QStringLiteral("6B 64 20 30 31 20 30 30 0D"); // kd 01 00
inline const QString lgMuteOn = QStringLiteral("6B 65 20 30 31 20 30 30 0D"); // ke 01 00
inline const QString lgMuteOff = QStringLiteral("6B 65 20 30 31 20 30 31 0D"); // ke 01 01
inline const QString lgVolume = QStringLiteral("6B 66 20 30 31 20 _ 0D"); // kf 01 _
inline const QString lgAutoConfig = QStringLiteral("6A 75 20 30 31 20 30 31 0D"); // ju 01 01
inline const QString lgChannelNtscAir
    = QStringLiteral("6D 61 20 30 31 20 _ 20 30 30 20 _ 20 30 30 20 30 30 20 30 30 0D"); // ma 01 _ 00 _ 00 00 00
inline const QString lgChannelNtscCatv
    = QStringLiteral("6D 61 20 30 31 20 _ 20 30 30 20 _ 20 30 30 20 30 30 20 30 31 0D"); // ma 01 _ 00 _ 00 00 01
inline const QString lgChannelAtscAir
    = QStringLiteral("6D 61 20 30 31 20 30 33 20 30 30 20 _ 20 30 30 20 - 20 30 32 0D"); // ma 01 03 00 _ 00 - 02

// The set the main window starts from before a model is chosen: LG commands with a one-digit set ID
// ("ka 0 1"); OLEVIA keeps this mute and volume form.
inline const QString shortIdPowerOn = QStringLiteral("6B 61 20 30 20 31 0D"); // ka 0 1
inline const QString shortIdPowerOff = QStringLiteral("6B 61 20 30 20 30 0D"); // ka 0 0
inline const QString shortIdMuteOn = QStringLiteral("6B 65 20 30 20 30 0D"); // ke 0 0
inline const QString shortIdMuteOff = QStringLiteral("6B 65 20 30 20 31 0D"); // ke 0 1
inline const QString shortIdVolume = QStringLiteral("6B 66 20 30 20 _ 0D"); // kf 0 _

// OLEVIA toggles its power with one five-byte command.
inline const QString oleviaPower = QStringLiteral("BE 05 25 08 F0");

// Hyundai Vvuon: "@" commands ending in a carriage return.
inline const QString vvuonPowerOn = QStringLiteral("40 4B 45 59 3A 30 0D"); // @KEY:0
inline const QString vvuonPowerOff = QStringLiteral("40 50 57 44 3A 30 0D"); // @PWD:0
inline const QString vvuonVolume = QStringLiteral("40 56 4F 4C 3A _ 0D"); // @VOL:_
// A Vvuon answers @MUT on its own port and @MUS when every COM port is addressed.
inline const QString vvuonMuteOn = QStringLiteral("40 4D 55 54 3A 31 0D"); // @MUT:1
inline const QString vvuonMuteOff = QStringLiteral("40 4D 55 54 3A 30 0D"); // @MUT:0
inline const QString vvuonAllMuteOn = QStringLiteral("40 4D 55 53 3A 31 0D"); // @MUS:1
inline const QString vvuonAllMuteOff = QStringLiteral("40 4D 55 53 3A 30 0D"); // @MUS:0
// A remote-control key: the prefix, the key code, the suffix.
inline const QString vvuonKeyPrefix = QStringLiteral("40 4B 45 59 3A "); // @KEY:
inline const QString vvuonKeySuffix = QStringLiteral("0D");

// Hyundai D525ML: "did:all-" + a function code + ".".
inline const QString d525Prefix = QStringLiteral("64 69 64 3A 61 6C 6C 2D "); // did:all-
inline const QString d525Suffix = QStringLiteral("2E"); // .
inline const QString d525PowerOn = QStringLiteral("64 69 64 3A 61 6C 6C 2D 70 6E 2E"); // did:all-pn.
inline const QString d525PowerOff = QStringLiteral("64 69 64 3A 61 6C 6C 2D 70 66 2E"); // did:all-pf.

} // namespace vantiro::catalogue
