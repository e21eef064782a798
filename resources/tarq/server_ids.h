// Resource numbers of the messaging server, the services container, the file-server page and the pages every agent shares.
#pragma once
