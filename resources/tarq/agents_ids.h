// Resource numbers of the agent classes: creation dialogs and pages.
#pragma once
