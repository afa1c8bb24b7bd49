#pragma once

namespace quippet {

class CatalogueBuilder;

/// The download job's pages of the detailed settings.
void add_download_setting_pages(CatalogueBuilder& b);
/// The registration's and the update check's detailed settings.
void add_download_registration_pages(CatalogueBuilder& b);
/// The download tab's own controls.
void add_download_tab_page(CatalogueBuilder& b);

} // namespace quippet
