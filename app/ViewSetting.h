#pragma once
// The five language routines as they act on the main window: each takes the main window
// (its first use creates it and runs its load handler) and puts its language's captions,
// message texts and legal text on it.

#include <cstdint>
#include <functional>

namespace tabsend {

class Form1;

namespace ViewSetting {

using MainWindow = std::function<Form1&()>;

void SetEnglish(const MainWindow& form1);
void SetGerman(const MainWindow& form1);
void SetFrench(const MainWindow& form1);
void SetItalian(const MainWindow& form1);
void SetSpanish(const MainWindow& form1);
// Exactly one routine, chosen by the index: 0 English, 1 German, 2 French, 3 Italian,
// 4 Spanish, any other English.
void SelectLanguage(std::uint8_t index, const MainWindow& form1);

}  // namespace ViewSetting
}  // namespace tabsend
