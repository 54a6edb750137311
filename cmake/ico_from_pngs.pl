#!/usr/bin/perl
# Packs PNG pictures into a Windows icon file (.ico), one entry each, PNG-compressed as
# Windows has taken them since Vista:  ico_from_pngs.pl OUT.ico A.png B.png ...
use strict;
use warnings;

my ($out, @pngs) = @ARGV;
die "usage: $0 OUT.ico PNG...\n" unless $out && @pngs;
my @images;
for my $file (@pngs) {
  open(my $in, '<:raw', $file) or die "$file: $!\n";
  local $/;
  my $data = <$in>;
  close $in;
  die "$file is no PNG\n" unless substr($data, 0, 8) eq "\x89PNG\r\n\x1a\n";
  my ($width, $height) = unpack('NN', substr($data, 16, 8));
  die "$file: $width x $height is too big for an icon\n" if $width > 256 || $height > 256;
  push @images, [$width, $height, $data];
}
my $offset = 6 + 16 * @images;
my $ico = pack('vvv', 0, 1, scalar @images);
for my $i (@images) {
  my ($w, $h, $data) = @$i;
  # 256 pixels are written as 0.
  $ico .= pack('CCCCvvVV', $w % 256, $h % 256, 0, 0, 1, 32, length $data, $offset);
  $offset += length $data;
}
$ico .= $_->[2] for @images;
open(my $fh, '>:raw', $out) or die "$out: $!\n";
print $fh $ico;
close $fh or die "$out: $!\n";
