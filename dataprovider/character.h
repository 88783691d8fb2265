// A loaded character: its name, its animations (the root streams of its file) and its states,
// answered without regard to case, by the compound file format's own upper-casing of each
// UTF-16 unit.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dataprovider/definition.h"
#include "provider/folded_names.h"
#include "platform/name_list.h"

namespace character {

// The name of the definition stream.
inline constexpr std::u16string_view kDefinitionStream = u"Character";

// Whether a root element is an animation: a stream whose name does not start with a control
// character (property sets and the like) and is not the definition.
bool IsAnimationElement(std::u16string_view name, bool isStream);

class Character {
public:
    // Checks the definition against the file's animations. Raises Error naming two animations
    // that are one name without regard to case, or the line of a state that names an animation
    // the file does not hold.
    Character(const Definition& definition, NameList animations);

    const std::u16string& Name() const { return name_; }
    // False for the empty name.
    bool HasAnimation(std::u16string_view name) const;
    bool HasState(std::u16string_view name) const;
    // The names as the file spells them: animations in element order, states in definition order.
    const NameList& AnimationNames() const { return animationNames_; }
    const NameList& StateNames() const { return stateNames_; }

private:
    std::u16string name_;
    NameList animationNames_;
    NameList stateNames_;  // the definition defines each state once
    FoldedNames animations_;
    FoldedNames states_;
};

}  // namespace character
