#include "shell/Captions.h"

namespace tabsend {

namespace {

using Texts = std::array<const char*, 5>;  // English, German, French, Italian, Spanish

// One caption for a control, or for a family of three numbered controls (base name and the
// first number: Select1..Select3, Label15..Label17).
struct Group {
    const char* name;
    int first;  // 0: the name alone
    Texts texts;
};

constexpr Texts kTab0 = {"COM Configuration", "COM-Konfiguration", "Configuration COM",
                         "Configurazione COM", "Configuración de COM"};
constexpr Texts kTab1 = {"Select and download", "Auswahl und Download",
                         "Sélection et téléchargement", "Selezione e download",
                         "Selección y descarga"};
constexpr Texts kTab2 = {"About", "Info", "A propos", "Informazioni ", "Acerca de"};

// The control rows in the order the routines set them.
constexpr Group kGroups[] = {
    {"Frame1", 0, {"PC", "PC", "PC", "PC", "PC"}},
    {"Frame4", 0, {"DEXIO", "DEXIO", "DEXIO", "DEXIO", "DEXIO"}},
    {"Select", 1, {"Select", "Auswählen", "Sélectionner", "Seleziona", "Seleccionar"}},
    {"Clear", 1, {"Clear", "Löschen", "Effacer", "Annulla", "Borrar"}},
    {"ResetKey", 0, {"Reset", "Reset", "Réinitialiser", "Azzera", "Restablecer"}},
    {"Setbtn", 0, {"Compile", "Kompilieren", "Compiler", "Compila", "Compilar"}},
    {"ReadCur", 0, {"Restore", "Wiederherstellen", "Restaurer", "Ripristina", "Restaurar"}},
    {"PortOpenbtn", 0, {"Connect", "Verbinden", "Connecter", "Connetti", "Conectar"}},
    {"CompareBtn", 0, {"Read", "Lesen", "Lire", "Leggi", "Leer"}},
    {"PortClose", 0, {"Disconnect", "Trennen", "Déconnecter", "Disconnetti", "Desconectar"}},
    {"Downloadbtn", 0, {"Download", "Download", "Télécharger", "Download", "Descargar"}},
    {"Label18",
     0,
     {"Download information", "Download von Informationen", "Informations de téléchargement",
      "Download informazioni", "Información sobre la descarga"}},
    {"Label19",
     0,
     {"Download progress", "Download-Fortschritt", "Progression du téléchargement",
      "Avanzamento download", "Progreso de la descarga"}},
    {"Label", 15, {"Language", "Sprache", "Langue", "Lingua", "Idioma"}},
    {"Label", 1, {"Version", "Version", "Version", "Versione", "Versión"}},
    {"LanCurVer", 1, {"Version", "Version", "Version", "Versione", "Versión"}},
    {"LanCurLanCode", 1, {"Language", "Sprache", "Langue", "Lingua", "Idioma"}},
    {"Operation", 1, {"Operation", "Betrieb", "Opération", "Funzionamento", "En marcha"}},
    {"Label", 20, {"Status", "Status", "Etat", "Stato", "Estado"}},
    {"Frame16",
     0,
     {"Communication set", "Kommunikationseinstellung", "Configuration de la communication",
      "Impostazioni di comunicazione", "Ajuste de comunicación"}},
    {"Label4",
     0,
     {"COM port selection", "Auswahl COM-Port", "Sélection du port COM", "Selezione porta COM",
      "Selección del puerto COM"}},
    {"Label13",
     0,
     {"Configuration mode", "Konfigurationsmodus", "Mode de configuration", "Modo configurazione",
      "Modo de configuración"}},
    {"Label8", 0, {"Automatic", "Automatik", "Automatique", "Automatico", "Automático"}},
    {"Label9", 0, {"Manual", "Hand", "Manuel", "Manuale", "Manual"}},
    {"Frame7",
     0,
     {"Communication parameters", "Kommunikationsparameter", "Paramètres de communication",
      "Parametri di comunicazione", "Parámetros de comunicación"}},
    {"Label14",
     0,
     {"Baudrate", "Baudrate", "Vitesse en bauds", "Velocità in baud",
      "Velocidad de transmisión en baudios"}},
    {"Label5", 0, {"Data Bit", "Datenbit", "Bit de données", "Bit di dati", "Bit de datos"}},
    {"Label6",
     0,
     {"Parity Bit", "Paritätsbit", "Bit de parité", "Bit di parità", "Bit de paridad"}},
    {"Label7", 0, {"Stop Bit", "Stoppbit", "Bit d'arrêt", "Bit di stop", "Bit de parada"}},
};

constexpr Texts kLegalText = {
    "  ",
    "Jede Vervielfältigung oder Verbreitung ist untersagt. Zuwiderhandlungen werden nach den "
    "gesetzlichen Bestimmungen strafrechtlich verfolgt.",
    "Toute reproduction ou diffusion est interdite. Les contrevenants s'exposent aux sanctions "
    "prévues par la loi.",
    "È vietata qualsiasi riproduzione o distribuzione. I trasgressori sono perseguibili a "
    "norma di legge.",
    "Queda prohibida cualquier reproducción o distribución. Los infractores serán sancionados "
    "conforme a la ley."};

constexpr Texts kFrame15 = {"Legal Information", "Rechtliche Hinweise", "Informations légales",
                            "Note legali", "Información legal"};

LanguageCaptions build(int column) {
    const auto c = static_cast<std::size_t>(column);
    LanguageCaptions out;
    out.tabs = {kTab0[c], kTab1[c], kTab2[c]};
    for (const Group& g : kGroups) {
        if (g.first == 0) {
            out.controls.push_back({g.name, g.texts[c]});
            continue;
        }
        for (int k = g.first; k < g.first + 3; ++k) {
            out.controls.push_back({g.name + std::to_string(k), g.texts[c]});
        }
    }
    FillMessages(out.messages, column);
    out.legalText = kLegalText[c];
    out.frame15 = kFrame15[c];
    return out;
}

}  // namespace

LanguageCaptions SetEnglish() {
    return build(kUiEnglish);
}
LanguageCaptions SetGerman() {
    return build(kUiGerman);
}
LanguageCaptions SetFrench() {
    return build(kUiFrench);
}
LanguageCaptions SetItalian() {
    return build(kUiItalian);
}
LanguageCaptions SetSpanish() {
    return build(kUiSpanish);
}

LanguageCaptions SelectLanguage(std::uint8_t uiLanguage) {
    switch (uiLanguage) {
        case 1:
            return SetGerman();
        case 2:
            return SetFrench();
        case 3:
            return SetItalian();
        case 4:
            return SetSpanish();
        default:
            return SetEnglish();
    }
}

const std::string* CaptionOf(const LanguageCaptions& c, std::string_view control) {
    for (const CaptionRow& row : c.controls) {
        if (row.control == control) return &row.text;
    }
    return nullptr;
}

}  // namespace tabsend
