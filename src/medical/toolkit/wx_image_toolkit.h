// The image reader's access to the toolkit's image decoders.
#pragma once

// Makes dicom_utility::read_image_data load BMP, JPEG, PNG, TIFF and PNM
// images through the toolkit. Called once at start-up.
void install_toolkit_images();
