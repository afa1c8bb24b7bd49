#pragma once

namespace quippet {

class CatalogueBuilder;

/// The settings catalogue's pages of the live-log conversion: its tab, its detailed settings and the
/// log-warehouse search.
void add_live_log_setting_pages(CatalogueBuilder& b);

} // namespace quippet
