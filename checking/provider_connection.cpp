#include "checking/provider_connection.h"

#include "platform/bstr.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/com/com.h"

void ProviderLink::Release() {
    Provider.Reset();
    DocFile.Reset();
    Character.Reset();
}

bool InitDataProvider(ProviderLink& link, std::u16string& charName, const std::string& charFilePath,
                      Prompts& prompts) {
    if (FAILED(CoCreateInstance(CLSID_AgentDataProvider, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IUnknown, link.Provider.PutVoid())) ||
        !link.Provider) {
        link.Provider.Reset();
        prompts.ShowMessage("Error - Cannot connect to data provider.");
        return false;
    }
    if (FAILED(link.Provider->QueryInterface(IID_IAgentDocFileProvider, link.DocFile.PutVoid())) ||
        !link.DocFile) {
        link.DocFile.Reset();
        prompts.ShowMessage("Error - Cannot open DocFile.");
        return false;
    }

    // The file's objects are needed only to load it; they are released when this returns,
    // whatever happens after they were obtained.
    ComPtr<IAgentDocFileObject> definition;
    ComPtr<IUnknown> characterObject;
    {
        BstrHolder path;
        *path.Put() = AllocBstr(PathToWide(charFilePath));
        const HRESULT opened = link.DocFile->OpenDocFile(path.Get());
        if (FAILED(opened)) RaiseCallFailure("Opening the character file failed", opened);
    }
    const HRESULT listed = link.DocFile->GetDocFileObjects(definition.Put(), characterObject.Put());
    if (FAILED(listed)) RaiseCallFailure("Reading the character file's objects failed", listed);
    if (!definition)
        RaiseFailure("Reading the character file's objects failed", E_POINTER);
    const HRESULT activated = definition->ActivateObject();
    if (FAILED(activated)) RaiseCallFailure("Loading the character failed", activated);

    if (FAILED(link.Provider->QueryInterface(IID_IAgentCharacterProvider,
                                             link.Character.PutVoid())) ||
        !link.Character) {
        link.Character.Reset();
        prompts.ShowMessage("No CharacterProvider Interface Exists");
        return false;
    }
    charName.clear();
    BstrHolder name;
    const HRESULT named = link.Character->GetCharacterName(name.Put());
    if (FAILED(named)) RaiseCallFailure("Reading the character's name failed", named);
    charName = name.Text();
    return true;
}
