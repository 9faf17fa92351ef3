// The Qt Test classes of this program; main.cpp runs them one after the other.
#pragma once

#include "interchange/HxVista.h"

#include <QObject>

class TestExportDialog : public QObject {
    Q_OBJECT
private slots:
    void layoutCaptionsAndStartingStyle();
    void previewShowsTheRenderingsAndSwitchesStyle();
    void switchingDiscardsEditsCopyAndSaveKeepThem();
    void saveDialogOffersOneEntryPerStyle();
    void saveThroughTheDialogAddsExtensionAndReplaces();
    void saveFailureShowsTheErrorAndKeepsTheDialog();
    void escapeClosesAndReopeningStartsAtHtml();
};

class TestAboutAndImport : public QObject {
    Q_OBJECT
private slots:
    void aboutBoxShowsTheOwnRecord();
    void homePageOpensTheAddress();
    void importReplacesSelectionAndCountsAsEdit();
    void importOfMissingFileChangesNothing();
};

class TestMainWindowWiring : public QObject {
    Q_OBJECT
private slots:
    void exportShowsTheWholeDocumentWithPendingEdits();
    void openTextInsertsAtTheCaretAsAnEdit();
    void openTextOfAMissingFileShowsTheError();
    void aboutAndWebsiteCommands();
};
