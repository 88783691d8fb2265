// The main window under test: a fresh start-up directory and character folder, scripted dialogs,
// and the Open command driven as if a file had been chosen in the dialog.
#pragma once

#include <gtest/gtest.h>

#include <QLabel>
#include <memory>
#include <string>
#include <vector>

#include "app/DProv.h"
#include "app/memo.h"
#include "platform/cfb/writer.h"
#include "platform/com/com.h"
#include "platform/files.h"
#include "tests/provider/test_components.h"
#include "tests/support/character_files.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

using Lines = std::vector<std::string>;
using cfb::CompoundFileWriter;

inline std::string Text(QLabel* label) { return label->text().toStdString(); }

class Window : public ::testing::Test {
protected:
    Window() { ChangeDir(startDir.Path()); }
    ~Window() override { RestoreDefaultComponentFolders(); }

    TForm1& Form() {
        if (!form) form = std::make_unique<TForm1>(prompts);
        return *form;
    }
    void WriteStartFile(const std::string& name, const std::string& content) { startDir.Write(name, content); }
    // Opens `path` through the Open command as if it had been chosen in the dialog.
    void Open(const std::string& path) {
        prompts.fileChoices.push_back(path);
        Form().Open1->trigger();
    }
    // Writes a file of `bytes`, or a character file of `recipe`, into the character folder and
    // opens it.
    std::string OpenFile(const std::string& name, const std::string& bytes) {
        Open(characterDir.Write(name, bytes));
        return characterDir.File(name);
    }
    std::string OpenCharacter(const std::string& name, const CharacterRecipe& recipe = {}) {
        return OpenFile(name, CharacterFileBytes(recipe));
    }
    void NoProvider() { SetComponentFolders({startDir.File("no-components")}); }
    // The test provider of `behaviour` serves as the character data provider.
    void ServeAs(const CLSID& behaviour) {
        testProviders = std::make_unique<testcomponents::ComponentFolder>();
        testcomponents::ServeAsProvider(*testProviders, behaviour);
    }

    TempDir startDir;
    TempDir characterDir;
    ScriptedPrompts prompts;
    std::unique_ptr<testcomponents::ComponentFolder> testProviders;
    std::unique_ptr<TForm1> form;
};

