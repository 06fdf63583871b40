// The pages' texts in French, for the layout the program's pages have (app/PageLayouts.inc);
// the same names as app/PageTexts_en.rc.h. UTF-8. Accelerators are unique on each page, and
// the texts that name a button name it as its caption reads.
#pragma once

#define TXT_HELP "&Aide"
#define TXT_BACK "< &Précédent"
#define TXT_NEXT "&Suivant >"
#define TXT_CANCEL "&Annuler"

#define TXT_WELCOME_CAPTION "Bienvenue"
#define TXT_WELCOME_INTRO                                                                            \
    "Ce programme vous permet de mettre à jour le système d'exploitation de votre appareil Palm. " \
    "L'installation comporte trois étapes :"
#define TXT_WELCOME_STEP1 \
    "Effectuer une synchronisation HotSync pour sauvegarder les données et les applications."
#define TXT_WELCOME_STEP2 "Transférer l'image du système d'exploitation vers l'appareil Palm"
#define TXT_WELCOME_STEP3                                                                            \
    "Effectuer une dernière synchronisation HotSync pour restaurer vos données et vos programmes " \
    "sur l'appareil Palm"
#define TXT_WELCOME_CONTINUE "Cliquez sur Mode &normal pour continuer..."
#define TXT_WELCOME_ADVANCED "Mode a&vancé"
#define TXT_WELCOME_NORMAL "Mode &normal >"

#define TXT_HS_CAPTION "Assistant HotSync"
#define TXT_HS_THINGS_TO_DO "Étapes à suivre ..."
#define TXT_HS_STEP1 "Synchroniser avec HotSync"
#define TXT_HS_STEP2 "Réinitialiser votre appareil Palm"
#define TXT_HS_HOTSYNC_PANEL                                                                      \
    "Vous devez effectuer les deux tâches indiquées à gauche avant de pouvoir continuer. Cet " \
    "assistant vous guide tout au long de ces deux étapes."
#define TXT_HS_HOTSYNC_STEP                                                                         \
    "La première étape consiste à effectuer une synchronisation HotSync. Placez votre appareil " \
    "Palm sur son socle et appuyez sur le bouton HotSync."
#define TXT_HS_NOTE "Remarque :"
#define TXT_HS_NOTE_TEXT                                                                           \
    "Cette synchronisation HotSync va sauvegarder à la fois vos programmes et vos données. Les " \
    "programmes n'étant pas sauvegardés d'habitude, cette synchronisation peut durer plus "      \
    "longtemps que la normale."
#define TXT_HS_STATUS_PRESS "Appuyez sur le bouton HotSync !"
#define TXT_HS_RESET_PANEL                                                                       \
    "Après la synchronisation HotSync, un message devrait apparaître sur votre appareil Palm " \
    "pour vous demander de le réinitialiser (voir l'illustration). Suivez les instructions et " \
    "réinitialisez l'appareil."
#define TXT_HS_RESET_WAIT                                                                           \
    "Une fois l'appareil réinitialisé, le programme d'installation va essayer de s'y connecter. " \
    "Cela peut prendre quelques secondes."
#define TXT_HS_STATUS_RESET "Réinitialisez votre appareil Palm."
#define TXT_HS_STATUS_NEXT "Cliquez sur &Suivant pour continuer."
#define TXT_WAITING_FOR_HOTSYNC "Synchronisation HotSync en cours..."

#define TXT_SELECT_CAPTION "Sélectionnez le fichier de mise à jour à utiliser."
#define TXT_SELECT_OK "OK"
#define TXT_SELECT_CANCEL "Annuler"
#define TXT_SELECT_BROWSE "Parcourir"

#define TXT_RESET_CAPTION "Réinitialisation du Palm"
#define TXT_RESET_HOW                                                                                \
    "Maintenez enfoncée la touche de défilement vers le bas de votre Palm. Tout en la maintenant " \
    "enfoncée, appuyez sur le bouton de réinitialisation situé au dos de l'appareil à l'aide "   \
    "d'un trombone. Si vous réinitialisez le Palm en maintenant cette touche enfoncée, un petit "  \
    "curseur clignotant doit apparaître dans le coin supérieur gauche de l'écran du Palm."
#define TXT_RESET_NEXT                                                                              \
    "Cliquez sur &Suivant lorsque vous voyez le curseur clignotant. Si le curseur clignotant "      \
    "n'apparaît pas, recommencez l'opération. Si le curseur n'apparaît toujours pas, contactez " \
    "l'assistance technique."

#define TXT_CONN_CAPTION "Établissement d'une liaison de communication"
#define TXT_CONN_HOW                                                                           \
    "Placez votre appareil Palm sur son socle. Sélectionnez le port série approprié, puis " \
    "cliquez sur le bouton &Tester."
#define TXT_CONN_TEST "&Tester"
#define TXT_CONN_PASSED "Test réussi.  Cliquez sur &Suivant pour continuer."
#define TXT_CONN_NEXT                                                                       \
    "Cliquez sur &Suivant lorsque le test de communication a réussi. Vous ne pourrez pas " \
    "continuer tant que le test n'aura pas réussi."

#define TXT_BROWSE_CAPTION "Sélection d'une image ROM"
#define TXT_BROWSE_HOW                                                                             \
    "Vous devez maintenant indiquer le nom d'un fichier image ROM valide. Tapez le nom du "        \
    "fichier ROM dans la zone de saisie ci-dessous. Utilisez le bouton Parcourir pour rechercher " \
    "le fichier ROM dans l'Explorateur."
#define TXT_BROWSE_GROUP "Fichier ROM source  "
#define TXT_BROWSE_BUTTON "Pa&rcourir"
#define TXT_BROWSE_NEXT "Cliquez sur &Suivant après avoir trouvé l'image ROM."

#define TXT_UPLOAD_CAPTION "Transfert de l'image"
#define TXT_UPLOAD_WHAT "L'image ROM va maintenant être transférée vers l'appareil Palm."
#define TXT_UPLOAD_PATIENCE "Le transfert peut prendre quelques minutes. Veuillez patienter."
#define TXT_UPLOAD_READY "Prêt pour le transfert "
#define TXT_UPLOAD_ABORT "&Interrompre le transfert"
#define TXT_UPLOAD_START "&Transférer"

#define TXT_FINAL_CAPTION "Restauration des programmes et des données"
#define TXT_FINAL_DONE                                                                              \
    "Le programme d'installation a transféré l'image du système d'exploitation et vient de "     \
    "réinitialiser votre appareil Palm. Suivez les instructions de l'appareil Palm pour "          \
    "étalonner l'écran tactile. Une fois l'assistant de l'appareil Palm terminé, effectuez une " \
    "synchronisation HotSync."
#define TXT_FINAL_EMPTY                                                                             \
    "Votre appareil Palm ne contient encore aucun de vos programmes ni aucune de vos données. La " \
    "synchronisation HotSync va restaurer vos données et vos applications."
#define TXT_FINAL_NEXT "Cliquez sur Suivant lorsque la synchronisation HotSync est terminée."
#define TXT_FINAL_NOTE                                                                            \
    "Cette synchronisation HotSync va restaurer à la fois vos programmes et vos données. Elle " \
    "peut durer plus longtemps que la normale."
#define TXT_FINAL_PERFORM "Effectuez une synchronisation HotSync !"
#define TXT_FINAL_CLICK_NEXT "Cliquez sur Suivant."
#define TXT_FINAL_SKIP "Ignorer"

#define TXT_FINISH_CAPTION "Terminé"
#define TXT_FINISH_LONG                                                                           \
    "L'installation est terminée. Appuyez sur le bouton de réinitialisation de votre appareil " \
    "Palm pour commencer à l'utiliser."
#define TXT_FINISH_SHORT "L'installation est terminée."
#define TXT_FINISH_EXIT "Cliquez sur Terminer pour quitter le programme d'installation."
#define TXT_FINISH_FINISH "&Terminer"
