// The Qt Test classes of this program; main.cpp runs them one after the other.
#pragma once

#include "forms/FormBase.h"

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

class TestTextFileInsert : public QObject {
    Q_OBJECT
private slots:
    void importReplacesSelectionAndCountsAsEdit();
    void importOfMissingFileChangesNothing();
};
