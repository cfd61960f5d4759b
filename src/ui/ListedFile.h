#pragma once
// A listed file's entry in a list widget. The file system hands out names as
// bytes, which need not be valid UTF-8 ("\377.mid"); shown as text such a
// name is decoded with a replacement character and may then look like another
// file's name. So each entry keeps the name exactly as listed beside the shown
// text, and every command that acts on an entry uses those bytes.
#include <QListWidget>
#include <QString>

#include <string>
#include <string_view>

namespace quillon::ui {

// The text a list shows for a file name (invalid bytes decoded as U+FFFD).
QString shownName(std::string_view fileName);

// Makes an entry (of any kind) carry the name's bytes.
void carryFileName(QListWidgetItem& item, const std::string& fileName);

// Appends an entry showing the name and carrying its bytes.
void addListedFile(QListWidget& list, const std::string& fileName);

// The on-disk name an entry carries (its text, for an entry added otherwise).
std::string listedFileName(const QListWidgetItem& item);

// The first row whose entry carries exactly this name, or -1.
int rowOfListedFile(const QListWidget& list, const std::string& fileName);

} // namespace quillon::ui
