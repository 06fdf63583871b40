// The pages' texts in German, for the layout the program's pages have (app/PageLayouts.inc);
// the same names as app/PageTexts_en.rc.h. UTF-8. Accelerators are unique on each page, and
// the texts that name a button name it as its caption reads.
#pragma once

#define TXT_HELP "&Hilfe"
#define TXT_BACK "< &Zurück"
#define TXT_NEXT "&Weiter >"
#define TXT_CANCEL "&Abbrechen"

#define TXT_WELCOME_CAPTION "Willkommen"
#define TXT_WELCOME_INTRO                                                                       \
    "Mit diesem Programm können Sie das Betriebssystem Ihres Palm-Geräts aktualisieren. Die " \
    "Installation besteht aus drei Schritten:"
#define TXT_WELCOME_STEP1 \
    "Eine HotSync-Synchronisation durchführen, um Daten und Anwendungen zu sichern."
#define TXT_WELCOME_STEP2 "Das Betriebssystem-Image auf das Palm-Gerät übertragen"
#define TXT_WELCOME_STEP3                                                                            \
    "Eine abschließende HotSync-Synchronisation durchführen, um Ihre Daten und Programme auf dem " \
    "Palm-Gerät wiederherzustellen"
#define TXT_WELCOME_CONTINUE "Klicken Sie auf &Normaler Modus, um fortzufahren..."
#define TXT_WELCOME_ADVANCED "&Erweiterter Modus"
#define TXT_WELCOME_NORMAL "&Normaler Modus >"

#define TXT_HS_CAPTION "HotSync-Assistent"
#define TXT_HS_THINGS_TO_DO "Zu erledigen ..."
#define TXT_HS_STEP1 "HotSync durchführen"
#define TXT_HS_STEP2 "Reset-Taste am Palm-Gerät drücken"
#define TXT_HS_HOTSYNC_PANEL                                                                        \
    "Bevor Sie fortfahren können, müssen Sie die beiden links aufgeführten Aufgaben erledigen. " \
    "Dieser Assistent führt Sie durch beide Schritte."
#define TXT_HS_HOTSYNC_STEP                                                                     \
    "Führen Sie zuerst eine HotSync-Synchronisation durch. Setzen Sie Ihr Palm-Gerät in die " \
    "Docking-Station, und drücken Sie die HotSync-Taste."
#define TXT_HS_NOTE "Hinweis:"
#define TXT_HS_NOTE_TEXT                                                                          \
    "Bei dieser HotSync-Synchronisation werden sowohl Ihre Programme als auch Ihre Daten "        \
    "gesichert. Da Programme normalerweise nicht gesichert werden, kann sie länger als üblich " \
    "dauern."
#define TXT_HS_STATUS_PRESS "Drücken Sie die HotSync-Taste!"
#define TXT_HS_RESET_PANEL                                                                           \
    "Nach der HotSync-Synchronisation sollte auf Ihrem Palm-Gerät eine Meldung erscheinen, die "    \
    "Sie auffordert, das Gerät zurückzusetzen (siehe Abbildung). Folgen Sie den Anweisungen, und " \
    "setzen Sie das Gerät zurück."
#define TXT_HS_RESET_WAIT                                                               \
    "Nachdem Sie das Gerät zurückgesetzt haben, versucht das Setup, eine Verbindung " \
    "herzustellen. Dies kann einige Sekunden dauern."
#define TXT_HS_STATUS_RESET "Setzen Sie Ihr Palm-Gerät zurück."
#define TXT_HS_STATUS_NEXT "Klicken Sie auf &Weiter, um fortzufahren."
#define TXT_WAITING_FOR_HOTSYNC "HotSync-Synchronisation läuft..."

#define TXT_SELECT_CAPTION "Wählen Sie die zu verwendende Update-Datei aus."
#define TXT_SELECT_OK "OK"
#define TXT_SELECT_CANCEL "Abbrechen"
#define TXT_SELECT_BROWSE "Durchsuchen"

#define TXT_RESET_CAPTION "Palm zurücksetzen"
#define TXT_RESET_HOW                                                                                 \
    "Halten Sie die Bild-ab-Taste an Ihrem Palm gedrückt. Drücken Sie währenddessen mit einer "    \
    "Büroklammer die Reset-Taste auf der Rückseite des Geräts. Wenn Sie den Palm bei gedrückter " \
    "Bild-ab-Taste zurücksetzen, sollte oben links auf dem Bildschirm des Palm ein kleiner, "        \
    "blinkender Cursor erscheinen."
#define TXT_RESET_NEXT                                                                            \
    "Klicken Sie auf &Weiter, sobald Sie den blinkenden Cursor sehen. Wenn kein blinkender "      \
    "Cursor erscheint, wiederholen Sie den Vorgang. Wenden Sie sich an den technischen Support, " \
    "wenn der Cursor nicht erscheint."

#define TXT_CONN_CAPTION "Kommunikationsverbindung herstellen"
#define TXT_CONN_HOW                                                                        \
    "Setzen Sie Ihr Palm-Gerät in die Docking-Station. Wählen Sie die passende serielle " \
    "Schnittstelle, und klicken Sie auf &Testen."
#define TXT_CONN_TEST "&Testen"
#define TXT_CONN_PASSED "Test bestanden.  Klicken Sie auf &Weiter."
#define TXT_CONN_NEXT                                                                           \
    "Klicken Sie auf &Weiter, sobald der Kommunikationstest bestanden ist. Vorher können Sie " \
    "nicht fortfahren."

#define TXT_BROWSE_CAPTION "ROM-Image auswählen"
#define TXT_BROWSE_HOW                                                                           \
    "Geben Sie nun den Dateinamen eines gültigen ROM-Images an. Tragen Sie den Namen der "      \
    "ROM-Datei in das Eingabefeld unten ein. Mit der Schaltfläche Durchsuchen können Sie die " \
    "ROM-Datei im Explorer suchen."
#define TXT_BROWSE_GROUP "ROM-Quelldatei  "
#define TXT_BROWSE_BUTTON "&Durchsuchen"
#define TXT_BROWSE_NEXT "Klicken Sie auf &Weiter, wenn Sie das ROM-Image gefunden haben."

#define TXT_UPLOAD_CAPTION "Image übertragen"
#define TXT_UPLOAD_WHAT "Das ROM-Image wird jetzt auf das Palm-Gerät übertragen."
#define TXT_UPLOAD_PATIENCE \
    "Die Übertragung kann einige Minuten dauern. Bitte haben Sie etwas Geduld."
#define TXT_UPLOAD_READY "Bereit zur Übertragung "
#define TXT_UPLOAD_ABORT "Übertragung a&bbrechen"
#define TXT_UPLOAD_START "&Übertragen"

#define TXT_FINAL_CAPTION "Programme und Daten wiederherstellen"
#define TXT_FINAL_DONE                                                                               \
    "Das Setup hat das Betriebssystem-Image übertragen und Ihr Palm-Gerät soeben zurückgesetzt. " \
    "Folgen Sie den Anweisungen auf dem Palm-Gerät, um den Touchscreen zu kalibrieren. Wenn Sie "   \
    "den Assistenten auf dem Palm-Gerät abgeschlossen haben, führen Sie eine "                     \
    "HotSync-Synchronisation durch."
#define TXT_FINAL_EMPTY                                                                            \
    "Ihr Palm-Gerät enthält noch keine Ihrer Daten oder Programme. Die HotSync-Synchronisation " \
    "stellt Ihre Daten und Anwendungen wieder her."
#define TXT_FINAL_NEXT "Klicken Sie auf Weiter, wenn die HotSync-Synchronisation abgeschlossen ist."
#define TXT_FINAL_NOTE                                                                     \
    "Bei dieser HotSync-Synchronisation werden sowohl Ihre Programme als auch Ihre Daten " \
    "wiederhergestellt. Sie kann länger als üblich dauern."
#define TXT_FINAL_PERFORM "Führen Sie eine HotSync-Synchronisation durch!"
#define TXT_FINAL_CLICK_NEXT "Klicken Sie auf Weiter."
#define TXT_FINAL_SKIP "Überspringen"

#define TXT_FINISH_CAPTION "Fertig"
#define TXT_FINISH_LONG                                                                              \
    "Die Installation ist abgeschlossen. Drücken Sie die Reset-Taste an Ihrem Palm-Gerät, um mit " \
    "der Arbeit zu beginnen."
#define TXT_FINISH_SHORT "Die Installation ist abgeschlossen."
#define TXT_FINISH_EXIT "Klicken Sie auf Fertig stellen, um das Setup zu beenden."
#define TXT_FINISH_FINISH "&Fertig stellen"
