// The renames of an Apply on an exFAT card (a loop device mounted through
// FUSE): killed at each of its renames, and a load beside them.
#include "tests/mainwindow/editorday.h"
#include "tests/mainwindow/killedapply.h"

class TestEditorRenamesExfat : public EditorDayTest
{
    Q_OBJECT

private slots:
    void init()
    {
        if (!CurrentRowInPart())
            QSKIP("a row of another part");
    }
    void cleanup() { ResetDiskSeams(); }

    void killedApplyRenamesOneName_data() { AddKilledApplyRows(true); }
    void killedApplyRenamesOneName() { RunKilledApply(); }
};

int main(int argc, char** argv)
{
    return RunEditorTest<TestEditorRenamesExfat>(argc, argv, &KilledApplyChild);
}
#include "test_editor_renames_exfat.moc"
