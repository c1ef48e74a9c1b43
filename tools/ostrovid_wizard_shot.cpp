// Shows the sample creation wizard for a picture file and saves one page as a PNG, for review.
// Usage: ostrovid-wizard-shot [--data DIR] [--face N] PICTURE 1|2 OUT.png
// Page 1 is the face choice, page 2 the chip; --face N chooses the N-th face (from 0, in the
// wizard's order) first, which page 2 needs when the picture shows several faces.

#include "app/enrolment/sample_create_wizard.h"
#include "app/ui/sample_wizard.h"
#include "platform/paths.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int Usage(const char* program) {
    std::fprintf(stderr, "usage: %s [--data DIR] [--face N] PICTURE 1|2 OUT.png\n", program);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QString dataDir = platform::ProgramFolder() + "/Data";
    int face = enrolment::CSampleCreateWizard::kNoFace;
    QStringList positional;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--data" && i + 1 < args.size()) {
            dataDir = args[++i];
        } else if (args[i] == "--face" && i + 1 < args.size()) {
            bool number = false;
            face = args[++i].toInt(&number);
            if (!number || face < 0) return Usage(argv[0]);
        } else if (args[i].startsWith('-') && args[i].size() > 1) {
            return Usage(argv[0]);
        } else {
            positional.append(args[i]);
        }
    }
    if (positional.size() != 3 || (positional[1] != "1" && positional[1] != "2")) return Usage(argv[0]);
    const bool resultPage = positional[1] == "2";

    QString error;
    // One thread, which describes through the loaded network: the pool is never borrowed from.
    const std::unique_ptr<recognition::FaceModels> models =
        recognition::FaceModels::Load(dataDir, error, recognition::PooledNetworks{1});
    if (!models) {
        std::fprintf(stderr, "%s: cannot load the face models: %s\n", argv[0], qPrintable(error));
        return 2;
    }
    enrolment::CSampleCreateWizard wizard(*models, positional[0]);
    if (wizard.LoadOriginaFile() == enrolment::LoadResult::Failed) {
        std::fprintf(stderr, "%s: %s\n", argv[0], qPrintable(wizard.LoadErrorText()));
        return 1;
    }
    if (face != enrolment::CSampleCreateWizard::kNoFace) {
        if (static_cast<size_t>(face) >= wizard.Faces().size()) {
            std::fprintf(stderr, "%s: the picture has %zu faces\n", argv[0], wizard.Faces().size());
            return 1;
        }
        wizard.ChooseFace(face);
    }

    ui::SampleCreateWizardDialog dialog(wizard, nullptr);
    dialog.show();
    QApplication::processEvents();
    if (resultPage) {
        if (wizard.ChosenFace() == enrolment::CSampleCreateWizard::kNoFace) {
            std::fprintf(stderr, "%s: no face chosen for page 2 (--face N)\n", argv[0]);
            return 1;
        }
        dialog.next();
        QApplication::processEvents();
    }
    if (!dialog.grab().save(positional[2], "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(positional[2]));
        return 1;
    }
    return 0;
}
