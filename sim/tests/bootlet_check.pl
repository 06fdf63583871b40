#!/usr/bin/perl
# Reads Bootlet.prc with Palm::PDB, an outside reader of Palm databases, and checks what the
# desktop and the handheld rely on: a resource database "Bootlet" of type 'appl' whose code
# carries the loader entry mark at an even file offset the desktop's search reaches.
use strict;
use warnings;
use Palm::PDB;
use Palm::Raw;

# Palm::Raw takes record databases by default; resource databases have to be asked for.
Palm::PDB::RegisterPRCHandlers('Palm::Raw', ['', '']);

my $file = shift or die "usage: bootlet_check.pl Bootlet.prc\n";
my $pdb = Palm::PDB->new;
$pdb->Load($file);

my @problems;
push @problems, "name is '$pdb->{name}'" unless $pdb->{name} eq 'Bootlet';
push @problems, "not a resource database" unless $pdb->{attributes}{resource};
push @problems, "type is '$pdb->{type}'" unless $pdb->{type} eq 'appl';
push @problems, "creator is '$pdb->{creator}'" unless $pdb->{creator} eq 'KBlt';

my %have = map { ("$_->{type}/$_->{id}" => $_) } @{ $pdb->{resources} };
for my $needed (qw(code/0 code/1 pref/0 tAIN/1000)) {
    push @problems, "no $needed resource" unless $have{$needed};
}
my $mark = pack('C4', 0xFA, 0xAB, 0xF0, 0x0D);
if ($have{'code/1'} && index($have{'code/1'}{data}, $mark) < 0) {
    push @problems, "code 1 does not carry the entry mark";
}
push @problems, "tAIN is not 'Bootlet'"
    unless $have{'tAIN/1000'} && $have{'tAIN/1000'}{data} eq "Bootlet\0";

open my $in, '<:raw', $file or die "$file: $!\n";
local $/;
my $bytes = <$in>;
my $at = -1;
for (my $offset = 0; $offset <= 2000; $offset += 2) {
    if (substr($bytes, $offset, 4) eq $mark) { $at = $offset; last; }
}
push @problems, "no entry mark at an even offset up to 2000" if $at < 0;

if (@problems) {
    print "Bootlet.prc: $_\n" for @problems;
    exit 1;
}
printf "Bootlet.prc: %d bytes, %d resources, entry mark at offset %d\n",
    length($bytes), scalar @{ $pdb->{resources} }, $at;
