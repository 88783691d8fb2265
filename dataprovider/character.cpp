#include "dataprovider/character.h"

#include "platform/cfb/format.h"
#include "platform/error.h"

namespace character {

bool IsAnimationElement(std::u16string_view name, bool isStream) {
    if (!isStream || name.empty() || name.front() < 32) return false;
    return cfb::CompareNames(name, kDefinitionStream) != 0;
}

Character::Character(const Definition& definition, NameList animations)
    : name_(definition.name), animationNames_(std::move(animations)) {
    animations_.Reserve(animationNames_.Size(), animationNames_.Units());
    for (std::size_t i = 0; i < animationNames_.Size(); ++i) {
        // Each would answer for the other, and no one of them could be asked for alone.
        const auto [earlier, added] = animations_.Insert(animationNames_[i]);
        if (!added)
            throw Error("The file holds the animations " + QuoteName(animationNames_[earlier]) + " and " +
                        QuoteName(animationNames_[i]) + ", which are one name without regard to case",
                        E_INVALIDDATA);
    }
    for (const auto& state : definition.states) {
        for (const auto& animation : state.animations) {
            if (!HasAnimation(animation))
                throw Error(DefinitionLinePrefix(state.line) + "the state " + QuoteName(state.name) +
                            " names the animation " + QuoteName(animation) +
                            ", which the file does not hold",
                            E_INVALIDDATA);
        }
        states_.Insert(state.name);
        stateNames_.Add(state.name);
    }
}

bool Character::HasAnimation(std::u16string_view name) const {
    return !name.empty() && animations_.Find(name) != FoldedNames::npos;
}

bool Character::HasState(std::u16string_view name) const {
    return !name.empty() && states_.Find(name) != FoldedNames::npos;
}

}  // namespace character
