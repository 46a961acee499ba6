#include "app/help.h"

#include "access/textutil.h"
#include "platform/platform.h"
#include "res/resource.h"

// The four help texts, as the boxes show them (runs of blanks align the columns).
const char kHelpOverviewText[] = "Das Programm ermöglicht das Arbeiten an Dateien,\n"
                                 "ohne sie zunächst zu ändern.\n"
                                 "\n"
                                 "Die Bearbeitungen werden in einer\n"
                                 "separaten (Protokoll-) Datei gespeichert.\n"
                                 "\n"
                                 "\n"
                                 "Es gibt 3 verschiedene Stufen der Bearbeitung:\n"
                                 "\n"
                                 "\n"
                                 "AKTUELLE EINGABEN\n"
                                 "\n"
                                 "sind rot markiert\n"
                                 "lassen sich durch ESC zurücknehmen\n"
                                 "\n"
                                 "\n"
                                 "(protokollierte) BEARBEITUNGEN\n"
                                 "\n"
                                 "sind orange markiert\n"
                                 "sind in der Protokolldatei gespeichert\n"
                                 "lassen sich noch 'verwerfen'\n"
                                 "\n"
                                 "\n"
                                 "GESPEICHERTE BEARBEITUNGEN\n"
                                 "\n"
                                 "sind nicht markiert\n"
                                 "lassen sich durch Undo zurücknehmen\n"
                                 "(Vorschau mit F7)";
const char kHelpInstructionsText[] =
    "\n"
    "\n"
    "- Dateien werden per Voreinstellung mit SCHREIBSCHUTZ geöffnet.\n"
    "\n"
    "- Bearbeitungen (orange markiert) werden dabei in einer SEPARATEN PROTOKOLLDATEI "
    "gespeichert.\n"
    "\n"
    "- Solange die Protokolldtei nicht gelöscht wird, BLEIBEN die Bearbeitungen ERHALTEN.\n"
    "\n"
    "- Zum endgültigen Speichern muß eine der SPEICHER-OPTIONEN im Menü aufgerufen werden.\n"
    "\n"
    "- Solange die Protokolldatei nicht gelöscht wird, besteht noch die Möglichkeit der "
    "WIEDERHERSTELLUNG der Originaldatei.";
const char kHelpKeysText[] =
    "generell:\n"
    "-----------------\n"
    "\n"
    "ALT + Cursortasten:   Bewegung des Datenfensters\n"
    "\n"
    "Pos1 / Ende:                   Zeilenanfang / Zeilenende\n"
    "\n"
    "Strg-Pos1 / Strg-Ende:        Dateibeginn / Dateiende\n"
    "\n"
    "Strg + auf / ab:                           Auto Scroll auf / ab\n"
    "\n"
    "Strg-n / Strg-p:               zur nächsten / vorherigen Bearbeitung\n"
    "\n"
    "--------------------------------------------------------------------------------------\n"
    "\n"
    "Edit Mode:\n"
    "-----------------\n"
    "\n"
    "TAB:          wechselt zwischen Hex- und Char-Modus\n"
    "\n"
    "RETURN:                         übernimmt letzte Eingaben\n"
    "\n"
    "ESC:                                  verwirft   letzte   Eingaben\n"
    "\n"
    "BACKSPACE:                    verwirft   letztes   Zeichen\n"
    "\n"
    "Strg -> :  holt ursrpünglichen Wert zurück und geht nach rechts\n"
    "\n"
    "Strg <- :  holt  ursprünglichen  Wert  zurück und geht nach links\n"
    "\n"
    "--------------------------------------------------------------------------------------\n"
    "\n"
    "AutoScroll bzw. AVI-Play:\n"
    "-----------------\n"
    "\n"
    "Leertaste:   Start / Stop bei AutoScroll bzw. VideoPlay";
const char kHelpAviText[] = "Das Programm ermöglicht in eingeschränktem Maße das\n"
                            "\n"
                            "          \"Abspielen\"   /   Analysieren   und   Reparieren\n"
                            "\n"
                            "von AVI-Dateien\n"
                            "\n"
                            "\n"
                            "ABSPIELEN\n"
                            "\n"
                            "          AVI -> Video abspielen   /   Audio abspielen\n"
                            "\n"
                            "(Es werdem Ausschnitte aller Datenpaktete sukzessive dargestellt.)\n"
                            "\n"
                            "OFFSET-Einstellung mit + / - und > / <\n"
                            "\n"
                            "\n"
                            "ANALYSIEREN\n"
                            "\n"
                            "Falsche Angaben der Chunk-Adressen führen zu Fehlermeldungen\n"
                            "beim Abspielen\n"
                            "\n"
                            "Links oben wird die Adresse des zuletzt gefundenen Chunks angezeigt.\n"
                            "\n"
                            "\n"
                            "REPARIEREN\n"
                            "\n"
                            "Soweit der Adressierungsfehler nicht zu groß ist,\n"
                            "werden die Angaben automatisch korrigiert.\n"
                            "\n"
                            "Dabei wird zunächst NUR DIE PROTOKOLLDATEI verändert!\n"
                            "\n"
                            "(wenn nicht anders eingestellt...)";

int helpOverview() {
    plat().messageBox(kHelpOverviewText, "Überblick", kMbOk | kMbIconInformation | kMbTaskModal);
    return 0;
}

int helpInstructions() {
    plat().messageBox(kHelpInstructionsText, "Bedienungshinweise", kMbOk | kMbTaskModal);
    return 0;
}

int helpKeys() {
    plat().messageBox(kHelpKeysText, "Tastenbedienung", kMbOk | kMbTaskModal);
    return 0;
}

int helpAvi() {
    plat().messageBox(kHelpAviText, "AVI-Funktionen", kMbOk | kMbTaskModal);
    return 0;
}

const char kInfoVersion[] = "Kelmor Version 1.0";
const char kInfoDate[] = "Stand: 06.12.2026"; // the release date of this version

namespace {
class InfoDialog : public DialogLogic {
  public:
    void init(DialogHost &host) override {
        host.setText(IDC_INFO_VERSION, kInfoVersion);
        host.setText(IDC_INFO_DATE, kInfoDate);
    }
    bool command(DialogHost &host, int id, int) override {
        if (id != 1 && id != 2) return false;
        host.end(id);
        return true;
    }
};
} // namespace

int infoDialog() {
    InfoDialog logic;
    plat().runModalDialog(IDD_INFO, logic);
    return 0;
}
