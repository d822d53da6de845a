#pragma once

#include "common/ini_file.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace vantiro {

// "GeneralControlSettings.ini" in the application folder: the custom panel's button list, written by
// the button editor and read by the editor and the panel.
inline const QString buttonFileName = QStringLiteral("GeneralControlSettings.ini");

inline constexpr QChar buttonFieldSeparator = u'`'; // caption ` model ` port specification
inline constexpr QChar portSpecSeparator = u','; // port, baud rate, parity, data bits, stop bits

// One button of the custom panel. The last five fields form its port specification.
struct PanelButton
{
    QString button; // caption
    QString lcd; // display model name
    QString port;
    QString baudrate;
    QString parity;
    QString databits;
    QString stopbits;

    // "1,9600,n,8,1".
    QString portSpec() const;
    // The seven fields in the order of the editor's columns.
    QStringList cells() const;
    static PanelButton fromCells(const QStringList &cells);

    // An entry of the file: caption, grave accent, model, grave accent, port specification. The texts
    // are taken as they stand.
    QString entryValue() const;
    // The reverse. The whole value and the caption and model lose their blanks at either end; the
    // parts of the port specification stay as they are. Missing fields or parts are empty, surplus
    // ones are dropped.
    static PanelButton fromEntryValue(QStringView value);

    friend bool operator==(const PanelButton &, const PanelButton &) = default;
};

// The field names of a button as messages name them, in the order of cells().
const QStringList &panelButtonFieldNames();

// The first field whose text holds a character that would split the entry apart on the next read: a
// grave accent anywhere, a comma in the port specification. Gives the field's index in cells() and the
// character.
struct SeparatorFound
{
    int field = 0;
    QChar character;
};
std::optional<SeparatorFound> firstSplittingCharacter(const PanelButton &button);

// What "GeneralControlSettings.ini" holds for the panel and the editor.
struct ButtonFileContents
{
    // "Button" of "BUTTON_SETTINGS", read by its leading digits. A count that cannot be read (absent,
    // negative, no digits) or is far beyond the entries present reads every numbered entry there is,
    // so a save keeps them all; the count is then the highest entry number read.
    int buttonCount = 0;
    // The entries "1" to the count that make a button, by number. An entry that is present but empty
    // makes none; one missing within a count that can be read is a button captioned "0".
    QMap<int, PanelButton> buttons;
    // "ON" and "OFF" of "LG_SERIAL_COMMANDS", when present and not empty: replacements for the
    // panel's LG on and off commands.
    std::optional<QString> lgOnCommand;
    std::optional<QString> lgOffCommand;

    friend bool operator==(const ButtonFileContents &, const ButtonFileContents &) = default;
};

ButtonFileContents readButtonFile(const IniFile &ini);
// Nothing when the file does not exist in the application folder.
std::optional<ButtonFileContents> loadButtonFile(const QString &applicationFolder);

// The file with its "BUTTON_SETTINGS" replaced by the list, numbered from 1; every other section
// stays as it was.
IniFile withButtonList(const IniFile &ini, const QList<PanelButton> &buttons);
// Writes the list into the application folder's file atomically; on failure the old file stays. A
// file that is there but cannot be read is not written over, as its other sections would be lost.
SaveResult saveButtonFile(const QString &applicationFolder, const QList<PanelButton> &buttons);

} // namespace vantiro
