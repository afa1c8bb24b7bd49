#pragma once

// The small rewrites of text that the rest of the program applies at its edges, in one include.
#include "text/DateText.h"
#include "text/Entities.h"
#include "text/FolderMacros.h"
#include "text/NameTemplate.h"
#include "text/OpenErrors.h"
#include "text/UrlCoding.h"
