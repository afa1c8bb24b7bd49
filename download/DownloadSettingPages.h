#pragma once

namespace quippet {

class CatalogueBuilder;

/// The download job's pages of the detailed settings.
void add_download_setting_pages(CatalogueBuilder& b);

} // namespace quippet
