#include "app/options.h"
#include "fs/report.h"

namespace {
const char* const kUsageTexts[] = {
    "\n%s\n",
    "\nProgrammaufruf : vaultix.exe <Quellpfad> <Zielpfad> [Parameter (optional)]\n\n",
    "          'vaultix.exe' kopiert alle Dateien (*.*) mit allen\n",
    "          Unterverzeichnissen (auch leere)\n",
    "          vom Quellpfad in den Zielpfad (+Archivordner).\n\n",
    "          Es werden auch schreibgeschuetzte und versteckte\n",
    "          Dateien, sowie Systemdateien ohne weitere Nachfrage\n",
    "          kopiert.\n",
    "\n",
    "          [Parameter (optional)]\n",
    "          /E=<Fehler-Datei>\n",
    "               Fehler-Datei ... Dateiname oder Pfad\n",
    "               Datei wird nicht ueberschrieben sondern angefuegt\n",
    "          /F=<Fehler-Datei>\n",
    "               Fehler-Datei ... Dateiname oder Pfad\n",
    "               Datei wird nicht ueberschrieben sondern angefuegt\n",
    "               Detaillierte Informationen in der Datei so wie am Bildschirm\n",
    "          /Z=<Anzahl der Archivordner>\n",
    "               Gibt die Maximalzahl der Archivordner an (Standard=3).\n",
    "               Am Zielpfad wird ein Ordner in der Form 'ARCHIV_YYYYMMTT_hhmmss'\n",
    "               erzeugt und zur Archivierung verwendet.\n",
    "               Wird die Maximalzahl der Archivordner ueberschritten,\n",
    "               dann wird der aelteste geloescht.\n",
    "          /Q=<Zusaetzlicher Quellpfad>\n",
    "               Sie koennen einen weiteren Quellpfad angeben, der im gleichen\n",
    "               Archivordner gesichert werden soll.\n",
    "               In diesem Fall werden die Ordner der Quellpfade als\n",
    "               Unterordner angelegt.\n",
    "               Wenn Sie mehr als 2 Quellpfade gemeinsam sichern wollen,\n",
    "               dann verwenden Sie /L.\n",
    "          /L=<Dateiname>\n",
    "               Name oder Pfad der ASCII-Datei, die untereinander alle\n",
    "               zu sichernde Quellpfade enthaelt.\n",
    "               In diesem Fall werden die Ordner der Quellpfade als\n",
    "               Unterordner angelegt.\n",
    "          /S   nicht in Kombination mit /K.\n",
    "               Jede x-te Sicherung wird zusaetzlich im Unterverzeichnis\n",
    "               'SICHER' abgespeichert und nicht mehr geloescht.\n",
    "               'x' ist die Anzahl der Archivordner, wie bei /Z angegeben\n",
    "               (oder Standard=3).\n",
    "          /K   Klassisches Archivschema.\n",
    "               Die Anzahl der Archivordner (/Z) wird mindestens auf 10 gesetzt.\n",
    "               Die letzten 5 Wochen (letzte Sicherung der Woche) werden\n",
    "               zusaetzlich im Unterverzeichnis 'WOCHEN' gesichert.\n",
    "               Die letzten 12 Monate (letzte Sicherung im Monat) werden\n",
    "               zusaetzlich im Unterverzeichnis 'MONATE' gesichert.\n",
    "               Jedes Jahr (letzte Sicherung im Jahr) wird zusaetzlich\n",
    "               im Unterverzeichnis 'JAHRE' gesichert.\n",
    "               Datensicherungen zwischen 0:00 und 6:00 werden zum Vortag\n",
    "               gezaehlt (Fuer naechtliche Sicherungen nach Mitternacht).\n",
    "               Zusaetzliche Sicherungen (Woche, Monat, Jahr) werden erst\n",
    "               bei der darauffolgenden Datensicherung kopiert.\n",
    "          /W=<Monat> nur in Kombination mit /K\n",
    "               Bei einem abweichenden Wirtschaftsjahr wird hier das erste Monat\n",
    "               des Wirtschaftsjahres angegeben.\n",
    "               Die Jahressicherung nach dem klassischen Archivschema ist jetzt\n",
    "               die letzte Sicherung im Wirtschaftsjahr.\n",
    "          /X   ohne abschliessende Eingabeaufforderung.\n",
};
static_assert(sizeof kUsageTexts / sizeof kUsageTexts[0] == 58);
}  // namespace

void showUsage() {
    consoleLine(kUsageTexts[0], kBannerText);
    for (size_t i = 1; i < sizeof kUsageTexts / sizeof kUsageTexts[0]; ++i)
        consoleLine("%s", kUsageTexts[i]);  // they hold no conversions
}
