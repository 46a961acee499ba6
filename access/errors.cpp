#include "access/errors.h"

#include <cstdio>
#include <cstring>

#include "access/textutil.h"
#include "platform/platform.h"

const char kReadErrorPrefix[] = "Fehler beim Lesen von ";
const char kWriteErrorPrefix[] = "Fehler beim Schreiben von ";

namespace {
struct ErrorEntry {
    uint32_t code;
    const char *text;
};

const ErrorEntry kErrorTable[] = {
    {1, "ungültige Funktion !"},
    {2, "Datei nicht gefunden !"},
    {3, "Pfad nicht gefunden !"},
    {4, "Zu viele geöffnete Dateien !"},
    {5, "Zugriff verweigert !"},
    {6, "Ungültiges Handle !"},
    {7, "Region gelöscht !"},
    {8, "Nicht genug Speicher !"},
    {9, "ungültiger Block !"},
    {10, "ungültige Umgebung !"},
    {11, "ungültiges Format !"},
    {12, "ungültiger Zugriff !"},
    {13, "ungültige Daten !"},
    {14, "out of Memory !"},
    {15, "ungültiges Laufwerk !"},
    {16, "Fehler: aktueller Pfad !"},
    {17, "nicht das gleiche Gerät !"},
    {18, "keine weiteren Dateien !"},
    {19, "schreibgeschützt !"},
    {20, "fehlerhafte Einheit !"},
    {21, "not ready !"},
    {22, "ungültiger Befehl !"},
    {23, "Checksummen-Fehler !"},
    {24, "falsche Länge !"},
    {25, "Suchfehler !"},
    {26, "kein DOS-Laufwerk !"},
    {27, "Sektor nicht gefunden !"},
    {28, "außerhalb der Papiermaße !"},
    {29, "Schreibfehler !"},
    {30, "Lesefehler !"},
    {31, "genereller Fehler !"},
    {32, "wird bereits verwendet !"},
    {33, "ist gesperrt !"},
    {34, "falsches Laufwerk !"},
    {36, "Sharing-Puffer überschritten !"},
    {38, "Dateiende erreicht !"},
    {39, "Laufwerk ist voll !"},
    {50, "nicht unterstützt !"},
    {52, "Name existiert bereits !"},
    {53, "ungültiger Netzwerk-Pfad !"},
    {54, "Netzwerk überlastet !"},
    {55, "Gerät existiert nicht !"},
    {56, "TOO_MANY_CMDS"},
    {57, "ADAP_HDW_ERR"},
    {58, "ungültige Netzwerk-Antwort !"},
    {59, "unerwarteter Netzwerk-Fehler !"},
    {60, "BAD_REM_ADAP"},
    {61, "Druckerwarteschlange voll !"},
    {62, "kein Platz in Druckerwarteschlange !"},
    {63, "Ausdruck gestoppt !"},
    {64, "Netzwerkname gelöscht !"},
    {65, "Netzwerkzugriff verweigert !"},
    {66, "ungültiger Gerätename !"},
    {67, "ungültiger Netzwerkname !"},
    {68, "zu viele Namen !"},
    {69, "zu viele Sessions !"},
    {70, "Sharing unterbrochen !"},
    {71, "Anforderung nicht akzeptiert !"},
    {72, "Weiterleitung unterbrochen !"},
    {80, "Datei existiert bereits !"},
    {82, "Kann ich nicht machen !"},
    {83, "Fehler I24 !"},
    {84, "außerhalb der Spezifikationen !"},
    {85, "bereits zugewiesen !"},
    {86, "ungültiges Passwort !"},
    {87, "ungültiger Parameter !"},
    {88, "Fehler beim Schreiben im Netzwerk !"},
    {89, "NO_PROC_SLOTS !"},
    {107, "Medium wurde gewechselt !"},
    {108, "Laufwerk ist gesperrt !"},
    {109, "BROKEN_PIPE !"},
    {110, "konnte nicht geöffnet werden !"},
    {111, "BUFFER_OVERFLOW !"},
    {112, "Laufwerk ist voll !"},
    {113, "keine weiteren Such-Handles !"},
    {114, "ungültiges Ziel-Handle !"},
    {117, "ungültige Kategorie !"},
    {118, "INVALID_VERIFY_SWITCH !"},
    {119, "BAD_DRIVER_LEVEL !"},
    {121, "SEM_TIMEOUT !"},
    {122, "Buffer zu klein !"},
    {123, "ungültiger Name !"},
    {124, "ungültiges Level !"},
    {125, "keine Datenträgerbezeichnung !"},
    {126, "MOD_NOT_FOUND !"},
    {127, "PROC_NOT_FOUND"},
    {128, "WAIT_NO_CHILDREN"},
    {129, "CHILD_NOT_COMPLETE"},
    {130, "DIRECT_ACCESS_HANDLE"},
    {131, "negative Suche !"},
    {132, "Suchfehler auf dem Gerät !"},
    {133, "IS_JOIN_TARGET"},
    {134, "IS_JOINED"},
    {158, "is not locked !"},
    {161, "ungültiger Pfadname !"},
    {167, "lock failed !"},
    {170, "wird verwendet !"},
    {173, "Schutzverletzung !"},
    {183, "existiert bereits !"},
    {206, "Dateiname zu lang !"},
    {212, "locked !"},
    {288, "keine Zugriffsrechte !"},
    {534, "Divion durch Null !"},
    {994, "Zugriff verweigert !"},
    {995, "Vorgang abgebrochen !"},
    {996, "Vorgang unvollständig !"},
    {997, "IO_PENDING !"},
    {998, "kein Zugriff !"},
    {999, "SWAPERROR !"},
    {1001, "Stack Overflow !"},
    {1003, "kann nicht zuendegeführt werden !"},
    {1005, "unbekanntes Laufwerk"},
    {1006, "ungültige Datei"},
    {1011, "kann nicht geöffnet werden !"},
    {1012, "kann nicht gelesen werden !"},
    {1013, "kann nicht beschrieben werden !"},
    {1067, "Vorgang abgebrochen !"},
    {1102, "Anfang des Mediums !"},
    {1104, "keine Daten gefunden !"},
    {1105, "Fehler in der Partition !"},
    {1106, "ungültige Block-Länge !"},
    {1107, "Laufwerk ist nicht partitioniert !"},
    {1108, "unable to lock media !"},
    {1109, "Medium kann nicht ausgeworfen werden !"},
    {1110, "Medium wurde gewechselt !"},
    {1111, "Bus reset !"},
    {1112, "kein Medium im Lauferk !"},
    {1115, "Computer wird gerade heruntergefahren !"},
    {1116, "No Shutdown in Progress !"},
    {1117, "Fehler beim Zugriff auf das Gerät !"},
    {1120, "weitere Schreibvorgänge !"},
    {1122, "Disketten ID-Mark nicht gefunden !"},
    {1123, "Diskette: falscher Zylinder !"},
    {1124, "Diskette: unbekannter Fehler !"},
    {1125, "Diskette: ungültige Register !"},
    {1126, "Diskette: Kalibration fehlgeschlagen !"},
    {1127, "Diskette: Vorgang fehlgeschlagen !"},
    {1128, "Diskette: Reset felgeschlagen !"},
    {1129, "EOM Overflow !"},
    {1150, "Alte Windows-Version !"},
    {1201, "Verbindung nicht erreichbar !"},
    {1203, "kein Netzwerk oder ungültiger Pfad !"},
    {1208, "erweiterter Fehler !"},
    {1209, "ungültiger Gruppenname !"},
    {1210, "ungültiger Computername !"},
    {1211, "ungültiger Vorgang !"},
    {1212, "ungültiger Domainname !"},
    {1213, "ungültiger Dienst !"},
    {1214, "ungültiger Netzwerkname !"},
    {1231, "Netzwerk nicht erreichbar !"},
    {1232, "Host nicht erreichbar !"},
    {1236, "Verbindung abgebrochen !"},
    {1237, "Fehler beim Wiederholungsversuch !"},
    {1391, "No Inheritance !"},
    {1392, "Datei ist beschädigt !"},
    {1393, "Laufwerk ist beschädigt !"},
    {1394, "No User Session Key !"},
    {1395, "License Quota Exceeded !"},
    {1400, "ungültiges Fenster-Handle !"},
    {1401, "ungültiges Menü-Handle !"},
    {1402, "ungültiges Cursor-Handle !"},
    {1403, "ungültiges Zugriffs-Handle !"},
    {1405, "ungültiges DWP-Handle !"},
    {1406, "TLW_WITH_WSCHILD !"},
    {1407, "kann WND-Class nicht finden !"},
    {1408, "Fenster gehört zu einem anderen Thread !"},
    {1418, "konnte Zwischenablage nicht öffnen !"},
    {1422, "ungültige Combobox-Meldung !"},
    {1423, "das Fenster ist KEINE Combobox !"},
    {1424, "ungültige Fenstergröße !"},
    {1425, "DC nicht gefunden !"},
    {1450, "keine System-Ressourcen !"},
    {1816, "nicht ausreichend zugewiesender Festplattenplatz !"},
    {1901, "ungültige Zeitangabe !"},
    {1902, "ungültiger Format-Name !"},
    {1903, "ungültige Format-Größe !"},
};

char g_caption[128];
} // namespace

const char *errorText(uint32_t code) {
    for (const ErrorEntry &e : kErrorTable)
        if (e.code == code) return e.text;
    return nullptr;
}

int reportError(const char *prefix, const char *name) {
    uint32_t code = plat().lastError();
    if (code == 0) return 0;
    const char *text = errorText(code);
    // An unlisted code gets a caption of its own rather than the previous report's.
    if (text)
        copyString(g_caption, text, sizeof g_caption);
    else
        std::snprintf(g_caption, sizeof g_caption, "Systemfehler %u !", unsigned(code));
    char message[600];
    copyString(message, prefix, sizeof message);
    appendString(message, name, sizeof message);
    return plat().messageBox(message, g_caption, kMbOkCancel) == kIdCancel ? 1 : 0;
}

const char *lastErrorCaption() {
    return g_caption;
}

void resetErrorReporter() {
    g_caption[0] = 0;
}

int askYesNo(const char *text, const char *caption, bool defaultNo) {
    return plat().messageBox(text, caption,
                             kMbYesNo | kMbIconQuestion | kMbTaskModal |
                                 (defaultNo ? unsigned(kMbDefButton2) : 0u));
}
