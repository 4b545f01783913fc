// A header the front end may include.
#pragma once
