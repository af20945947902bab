#include "PendingOpens.h"

namespace dunmoor::ui
{

PendingOpens::PendingOpens()
    : state (std::make_shared<State>())
{
}

std::function<void (const OpenResult&)> PendingOpens::begin (std::function<void (const OpenResult&)> onDone)
{
    if (state->underWay++ == 0 && state->onChange != nullptr)
        state->onChange();

    return [weak = std::weak_ptr<State> (state), ended = std::make_shared<bool> (false), onDone = std::move (onDone)] (const OpenResult& result)
    {
        if (! *ended)
        {
            *ended = true;

            if (auto shared = weak.lock(); shared != nullptr && --shared->underWay == 0 && shared->onChange != nullptr)
                shared->onChange();
        }

        if (onDone != nullptr)
            onDone (result);
    };
}

bool PendingOpens::isUnderWay() const
{
    return state->underWay > 0;
}

void PendingOpens::setOnChange (std::function<void()> onChange)
{
    state->onChange = std::move (onChange);
}

} // namespace dunmoor::ui
