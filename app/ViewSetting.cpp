#include "app/ViewSetting.h"

#include "app/Form1.h"
#include "shell/Captions.h"

namespace tabsend::ViewSetting {

void SetEnglish(const MainWindow& form1) {
    Form1& window = form1();
    window.ApplyLanguage(tabsend::SetEnglish());
}
void SetGerman(const MainWindow& form1) {
    Form1& window = form1();
    window.ApplyLanguage(tabsend::SetGerman());
}
void SetFrench(const MainWindow& form1) {
    Form1& window = form1();
    window.ApplyLanguage(tabsend::SetFrench());
}
void SetItalian(const MainWindow& form1) {
    Form1& window = form1();
    window.ApplyLanguage(tabsend::SetItalian());
}
void SetSpanish(const MainWindow& form1) {
    Form1& window = form1();
    window.ApplyLanguage(tabsend::SetSpanish());
}

void SelectLanguage(std::uint8_t index, const MainWindow& form1) {
    switch (index) {
        case 1:
            SetGerman(form1);
            break;
        case 2:
            SetFrench(form1);
            break;
        case 3:
            SetItalian(form1);
            break;
        case 4:
            SetSpanish(form1);
            break;
        default:
            SetEnglish(form1);
            break;
    }
}

}  // namespace tabsend::ViewSetting
