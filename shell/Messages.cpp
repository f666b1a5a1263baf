#include "shell/Messages.h"

#include <array>

namespace tabsend {

namespace {

// One row per variable, one column per UI language (English, German, French, Italian,
// Spanish), in the order in which the variables are filled.
using Row = std::array<const char*, 5>;

constexpr Row kSetComplete = {"  Set complete!", "  Einstellung abgeschlossen!",
                              "  Installation compléte", "  Configurazione completata.",
                              "  Ajuste completado"};
constexpr Row kResetComplete = {"Reset complete!", "Reset abgeschlossen!",
                                "Réinitialisation terminée", "Azzeramento completato.",
                                "Restablecimiento completado"};
constexpr Row kFileTypeNotFit = {"File type is not fit!", "unpassender Dateityp",
                                 "Type de fichier incompatible", " Ttipo di file non adatto.",
                                 "El tipo de archivo no es válido"};
constexpr Row kNoLanguageFile = {"No language file selected!", "Keine Sprachdatei gewählt!",
                                 "Aucun fichier de langue sélectionné",
                                 " Nessun file di lingua selezionato.",
                                 "No se ha seleccionado ningún archivo de idioma"};
constexpr Row kCommTimeout = {"Communication timeout!", "Kommunikations-Timeout!", "Timeout ",
                              "Timeout comunicazione.", "Tiempo sobrepasado de comunicación"};
constexpr Row kDownloadComplete = {"Download complete!", "Download abgeschlossen!",
                                   "Téléchargement terminé", "Download completato.",
                                   "Descarga completa"};
constexpr Row kDataConflict = {"Communication Data conflict!", "Konflikt von Kommunikationsdaten!",
                               "Conflit de données de communication",
                               "Conflitto dati di comunicazione.",
                               "Conflicto de datos de comunicación"};
constexpr Row kIllegalOperation = {
    "Illegal Language operation or DEXIO is in wrong state!",
    "Unzulässiger Sprachbetrieb oder DEXIO ist im falschen Zustand!",
    "Utilisation d'une langue interdite ou état DEXIO incorrect",
    "Utilizzo di una lingua non consentita o errore di stato di DEXIO.",
    "Operación de idioma ilícita o DEXIO en estado incorrecto"};
constexpr Row kCannotConnect = {
    "Can not establish the connection!", "Verbindung kann nicht hergestellt werden!",
    "Impossible d'établir la connexion", "Impossibile stabilire una connessione.",
    "No se puede establecer la conexión"};
constexpr Row kLanguageFileDamaged = {"Language File damaged!", "Sprachdatei beschädigt!",
                                      "Fichier de langue endommagé", "File di lingua danneggiato.",
                                      "Archivo de idioma dañado"};
constexpr Row kLanguageFileSetError = {
    "Language File set error!", "Einstellungsfehler Sprachdatei!",
    "Erreur d'installation du fichier de langue", "Errore di impostazione file di lingua.",
    "Error en el conjunto de archivos de idioma"};
constexpr Row kSelectEnglishFirst = {"Please select English language file for language 1!",
                                     "Bitte englische Sprachdatei für Sprache 1 wählen!",
                                     "Sélectionnez le fichier Anglais pour la langue 1.",
                                     "Selezionare l'inglese come lingua 1.",
                                     "Seleccione el archivo de idioma inglés para el idioma 1"};
constexpr Row kCannotOpenPort = {
    "Can not open COM port!", "Kann COM-Port nicht öffnen!", "Impossible d'ouvrir le port COM",
    "Impossibile aprire la porta COM.", "No se puede abrir el puerto COM"};
constexpr Row kCreateLanguage = {"Create Language ", "Sprache erstellen ", "Créer une langue ",
                                 "Crea lingua ", "Crear idioma "};
constexpr Row kClearLanguage = {"Clear Language ", "Sprache löschen ", "Effacer la langue ",
                                "Annulla lingua ", "Borrar idioma "};
constexpr Row kIndexTable = {" Index table ", " Indextabelle ", " Table d'index ",
                             " Tabella di indice ", " Tabla de índice "};

std::size_t column(int uiLanguage) {
    return (uiLanguage >= 0 && uiLanguage <= 4) ? static_cast<std::size_t>(uiLanguage) : 0U;
}

}  // namespace

void FillMessages(Messages& m, int uiLanguage) {
    const std::size_t c = column(uiLanguage);
    m.MsgSetComplete = kSetComplete[c];
    m.MsgResetComplete = kResetComplete[c];
    m.MsgFileTypeNotFit = kFileTypeNotFit[c];
    m.MsgNoLanguageFile = kNoLanguageFile[c];
    m.MsgCommTimeout = kCommTimeout[c];
    m.MsgDownloadComplete = kDownloadComplete[c];
    m.MsgDataConflict = kDataConflict[c];
    m.MsgIllegalOperation = kIllegalOperation[c];
    m.MsgCannotConnect = kCannotConnect[c];
    m.MsgLanguageFileDamaged = kLanguageFileDamaged[c];
    m.MsgLanguageFileSetError = kLanguageFileSetError[c];
    m.MsgSelectEnglishFirst = kSelectEnglishFirst[c];
    m.MsgCannotOpenPort = kCannotOpenPort[c];
    m.MsgCreateLanguage = kCreateLanguage[c];
    m.MsgClearLanguage = kClearLanguage[c];
    m.MsgIndexTable = kIndexTable[c];
}

Messages MessagesForLanguage(int uiLanguage) {
    Messages m;
    FillMessages(m, uiLanguage);
    return m;
}

std::string CreateLanguageLine(const Messages& m, int slot) {
    return m.MsgCreateLanguage + std::to_string(slot) + m.MsgIndexTable;
}

std::string ClearLanguageLine(const Messages& m, int slot) {
    return m.MsgClearLanguage + std::to_string(slot) + m.MsgIndexTable;
}

}  // namespace tabsend
