// Resource numbers of the pages on directory users.
#pragma once
